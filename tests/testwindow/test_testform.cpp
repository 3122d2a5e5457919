// The test window on the simulated board: the sweep's traffic, stopping it,
// and the self-test's frames and verdict.
#include "board/boardlink.h"
#include "board/primitives.h"
#include "harness.h"
#include "testwindow/testform.h"
#include "testwindow/writefileform.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <chrono>
#include <functional>
#include <tuple>

namespace {
struct FakePulse : PulseLdacSetting {
    bool ticked = true;
    bool PulseLdacTicked() const override { return ticked; }
};

QString frame(int code, int value, int index)
{
    return QString::asprintf("request code=%d dir=0 value=0x%04X index=0x%04X length=0", code, value, index);
}
// Channels A to D measured: a conversion command and a dummy transfer each.
const QStringList measurements = [] {
    QStringList out;
    for (int command : {0x8020, 0, 0x8420, 0, 0x8820, 0, 0x8C20, 0})
        out << QString::asprintf("request code=218 dir=1 value=0x%04X index=0x0000 length=2", command);
    return out;
}();
// The request lines, without what a read returned.
QStringList requests()
{
    QStringList out;
    for (const auto& r : harness::Requests())
        out << QString::fromStdString(r.substr(0, r.find(" ->")));
    return out;
}
const std::array<const std::vector<float>*, 4> sweep = {&State.SweepVoltsA, &State.SweepVoltsB,
                                                        &State.SweepVoltsC, &State.SweepVoltsD};
bool allZeroFrom(size_t k)
{
    return std::all_of(sweep.begin(), sweep.end(), [k](const std::vector<float>* v) {
        return v->size() == 65537 && std::all_of(v->begin() + k, v->end(), [](float x) { return x == 0.0f; });
    });
}
}  // namespace

class TestWindow : public QObject {
    Q_OBJECT
    FakePulse pulse;
    TestForm* form = nullptr;
    bool second = true;

    // Clicks `button`; `onRun` runs at every event run the handler lets in.
    void watching(const std::function<void()>& onRun, QPushButton* button)
    {
        harness::ClearTrace();
        QTimer everyRun;  // a zero timer fires once in every event run
        connect(&everyRun, &QTimer::timeout, onRun);
        everyRun.start(0);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // A sweep on which `stop` (by default "Stop Sweep") is done once step k - 1
    // is shown. True when both other buttons were disabled at every event run.
    bool sweepStoppingAt(int k, const std::function<void()>& stop = {})
    {
        form->Label1->setText("Label1");
        bool disabled = true;
        watching([&] {
            disabled = disabled && !form->Command1->isEnabled() && !form->Command3->isEnabled();
            if (form->Label1->text() == QString::number(k - 1))
                stop ? stop() : QTest::mouseClick(form->Command2, Qt::LeftButton);
        }, form->Command1);
        return disabled;
    }

    void expectWriterOpenAndSweepDone()
    {
        QVERIFY(WriteFileForm::Exists() && WriteFileForm::Open().isVisible());
        WriteFileForm::Open().close();
        QCOMPARE(form->StopRequested, int16_t{0});
        QVERIFY(form->Command1->isEnabled() && form->Command3->isEnabled());
    }

private slots:
    void initTestCase()
    {
        second = qEnvironmentVariableIsEmpty("QV_TEST_FIRST");
        harness::Setup(second);
        AttachPanel(&pulse, nullptr);
        Board().ConnectStep();
        // All four channels powered, ranges +5 V, +10 V, +-5 V and +-10 V: no step
        // measures 0 V on every channel.
        auto send = [](int16_t address, int16_t reg, int32_t data) { WriteFrame(address, reg, data); };
        send(0, 2, 0x1F);
        for (int16_t a = 0; a < 4; ++a)
            send(a, 1, std::array{0, 1, 3, 4}[a]);
        form = &TestForm::Open();
    }

    void aSweepStoppedAfterKStepsKeepsThemZerosTheRestAndOpensTheWriter()
    {
        // Every step: four frames (217 with "Pulse LDAC" ticked, 221 without) and eight ADC transfers.
        const std::tuple<bool, int, int> rows[] = {{true, 217, 1}, {false, 221, 5}};
        for (const auto& [ticked, code, k] : rows) {
            pulse.ticked = ticked;
            QVERIFY(sweepStoppingAt(k));
            QCOMPARE(requests().size(), 12 * k);
            QStringList step;
            for (int a = 0; a < 4; ++a)
                step << frame(code, a, k - 1);
            QCOMPARE(requests().mid(12 * (k - 1)), step + measurements);
            QCOMPARE(State.SampleCount, 65536);
            QVERIFY(allZeroFrom(k));
            expectWriterOpenAndSweepDone();
        }
        pulse.ticked = true;

        // "Stop Sweep" before "Start Sweep": the next sweep stops at once.
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        harness::ClearTrace();
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(requests().isEmpty());
        QVERIFY(allZeroFrom(0));
        expectWriterOpenAndSweepDone();
    }

    // PASS in green on a sound board, FAIL in red when a channel is faulty.
    void selfTestSendsItsExactFramesAndShowsItsVerdict()
    {
        const bool faulty = qgetenv("EVLINK_SIM").contains("fault=");
        const QString before = faulty ? "PASS" : "FAIL", verdict = faulty ? "FAIL" : "PASS";
        form->Label2->setText(before);
        QString verdictInEventRun;
        const auto start = std::chrono::steady_clock::now();
        watching([&] { verdictInEventRun = form->Label2->text(); }, form->Command3);
        QVERIFY(std::chrono::steady_clock::now() - start > std::chrono::seconds(2));
        // Only the older generation empties the verdict before it connects.
        QCOMPARE(verdictInEventRun, second ? before : QString(""));
        QVERIFY(QString::fromStdString(harness::Trace().front()).startsWith(second ? "search " : "loadfirmware "));

        QStringList expected = {frame(221, 0x10, 15), frame(221, 0x10, 15)};
        for (int a = 0; a < 4; ++a)
            expected << frame(221, 0x08 + a, 4);
        expected << frame(217, 0x04, 0) << measurements << frame(217, 0x04, 0xFFFF) << measurements;
        QCOMPARE(requests(), expected);
        QCOMPARE(form->Label2->text(), verdict);
        QCOMPARE(form->Label2->palette().color(QPalette::WindowText), faulty ? QColor(255, 0, 0) : QColor(0, 255, 0));
    }

    void sweepSurvivesABoardThatStopsAnswering()
    {
        if (!qgetenv("EVLINK_SIM").contains("unplug-after="))
            QSKIP("needs a board that stops answering");
        sweepStoppingAt(20);
        QCOMPARE(form->Label1->text(), QString("19"));
        // Once the board is gone every measurement repeats the last value read.
        for (int i = 15; i < 20; ++i)
            for (const auto* v : sweep)
                QCOMPARE((*v)[i], State.SweepVoltsD[19]);
    }

    void aFullSweepRampsEveryChannelInItsRange()
    {
        if (qEnvironmentVariableIsEmpty("QV_TEST_FULL_SWEEP"))
            QSKIP("the full sweep runs on its own, without a trace");
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(form->Label1->text(), QString("65535"));
        const double ends[4][2] = {{0, 5}, {0, 10}, {-5, 5}, {-10, 10}};
        for (int c = 0; c < 4; ++c)
            for (size_t i = 0; i < 65536; i += 7) {  // a straight ramp from end to end
                const double line = ends[c][0] + (ends[c][1] - ends[c][0]) * static_cast<double>(i) / 65535.0;
                QVERIFY2(std::abs((*sweep[c])[i] - line) <= 0.01, qPrintable(QString("%1 %2").arg(c).arg(i)));
            }
    }

    // Last: the program ends here.
    void closingTheWindowEndsTheProgramAndTheSweep()
    {
        sweepStoppingAt(3, [&] { form->close(); });
        QVERIFY(harness::Ended());
        QCOMPARE(requests().size(), 12 * 3);
        QVERIFY(form->Command1->isEnabled());
    }
};

QTEST_MAIN(TestWindow)
#include "test_testform.moc"
