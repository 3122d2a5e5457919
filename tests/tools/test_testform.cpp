// The test window on the simulated board: the sweep's traffic, stopping it,
// and the self-test's frames and verdict.
#include "board/boardlink.h"
#include "board/declare.h"
#include "harness.h"
#include "tools/testform.h"
#include "tools/writefileform.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <chrono>
#include <functional>

namespace {
struct FakePulse : PulseLdacSetting {
    bool ticked = true;
    bool PulseLdacTicked() const override { return ticked; }
};

// Calls onRun at every event run of a long operation: the event reposts
// itself whenever it is delivered.
class EventRunWatcher : public QObject {
public:
    std::function<void()> onRun;
    void start() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
    void stop() { onRun = nullptr; }

protected:
    void customEvent(QEvent*) override
    {
        if (onRun) {
            onRun();
            start();
        }
    }
};

QString hex4(int v) { return QString("%1").arg(v, 4, 16, QChar('0')).toUpper(); }
QString frame(int code, int value, int index)
{
    return QString("request code=%1 dir=0 value=0x%2 index=0x%3 length=0").arg(code).arg(hex4(value), hex4(index));
}
QStringList measurements()
{
    QStringList out;
    for (int command : {0x8020, 0, 0x8420, 0, 0x8820, 0, 0x8C20, 0})
        out << QString("request code=218 dir=1 value=0x%1 index=0x0000 length=2").arg(hex4(command));
    return out;
}
// The request lines, without what a read returned.
QStringList requests()
{
    QStringList out;
    for (const auto& r : harness::Requests())
        out << QString::fromStdString(r.substr(0, r.find(" ->")));
    return out;
}
std::array<const std::vector<float>*, 4> sweepArrays()
{
    return {&State.SweepVoltsA, &State.SweepVoltsB, &State.SweepVoltsC, &State.SweepVoltsD};
}
bool writerShown() { return WriteFileForm::Exists() && WriteFileForm::Open().isVisible(); }
}  // namespace

class TestWindow : public QObject {
    Q_OBJECT
    FakePulse pulse;
    TestForm* form = nullptr;
    EventRunWatcher watcher;
    bool second = true;

    // Clicks `button`; `onRun` runs at every event run the handler lets in.
    void watching(const std::function<void()>& onRun, QPushButton* button)
    {
        harness::ClearTrace();
        watcher.onRun = onRun;
        watcher.start();
        QTest::mouseClick(button, Qt::LeftButton);
        watcher.stop();
    }

    // A sweep on which "Stop Sweep" is clicked once step k - 1 is shown.
    // True when both other buttons were disabled at every event run.
    bool sweepStoppingAt(int k)
    {
        form->Label1->setText("Label1");
        bool disabled = true;
        watching([&] {
            disabled = disabled && !form->Command1->isEnabled() && !form->Command3->isEnabled();
            if (form->Label1->text() == QString::number(k - 1))
                QTest::mouseClick(form->Command2, Qt::LeftButton);
        }, form->Command1);
        return disabled;
    }

private slots:
    void initTestCase()
    {
        second = qEnvironmentVariableIsEmpty("QV_TEST_FIRST");
        harness::Setup(second);
        AttachPanel(&pulse, nullptr);
        Board().ConnectStep();
        form = &TestForm::Open();
        QCOMPARE(&TestForm::Open(), form);
        QCOMPARE(form->windowTitle(), QString("QV4816X Test"));
        QCOMPARE(form->findChild<QLabel*>("Label2")->text(), QString(""));  // emptied at load
    }

    void oneStepIsFourFramesAndEightAdcTransfers_data()
    {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("code");
        QTest::newRow("pulse LDAC ticked") << true << 217;
        QTest::newRow("pulse LDAC unticked") << false << 221;
    }

    void oneStepIsFourFramesAndEightAdcTransfers()
    {
        QFETCH(bool, ticked);
        QFETCH(int, code);
        pulse.ticked = ticked;
        State.ChannelAddress = 5;
        QVERIFY(sweepStoppingAt(1));
        QCOMPARE(requests(), QStringList({frame(code, 0, 0), frame(code, 1, 0), frame(code, 2, 0), frame(code, 3, 0)})
                                 + measurements());
        QCOMPARE(State.ChannelAddress, int16_t{5});  // the sweep's frames use variables of their own
        pulse.ticked = true;
    }

    void aStoppedSweepKeepsItsStepsZerosTheRestAndOpensTheWriter()
    {
        const int k = 5;
        QVERIFY(sweepStoppingAt(k));
        QCOMPARE(requests().size(), 12 * k);
        QCOMPARE(requests()[12 * (k - 1)], frame(217, 0, k - 1));
        QCOMPARE(State.SampleCount, 65536);
        for (const auto* volts : sweepArrays()) {
            QCOMPARE(volts->size(), size_t{65537});
            QVERIFY(std::all_of(volts->begin() + k, volts->end(), [](float v) { return v == 0.0f; }));
        }
        int16_t address = 0, reg = 0;
        QCOMPARE(ReadRegister(address, reg), k - 1);  // the last code written
        QVERIFY(writerShown());
        QCOMPARE(form->StopRequested, int16_t{0});
        QVERIFY(form->Command1->isEnabled() && form->Command3->isEnabled());

        // "Stop Sweep" before "Start Sweep": the next sweep stops at once.
        WriteFileForm::Open().close();
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        harness::ClearTrace();
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(requests().isEmpty());
        for (const auto* volts : sweepArrays())
            QVERIFY(std::all_of(volts->begin(), volts->end(), [](float v) { return v == 0.0f; }));
        QVERIFY(writerShown());
        QCOMPARE(form->StopRequested, int16_t{0});
    }

    void selfTestPassesWithItsExactFrames()
    {
        form->Label2->setText("FAIL");
        QString verdictInEventRun;
        const auto start = std::chrono::steady_clock::now();
        watching([&] { verdictInEventRun = form->Label2->text(); }, form->Command3);
        QVERIFY(std::chrono::steady_clock::now() - start > std::chrono::seconds(2));
        // Only the older generation empties the verdict before it connects.
        QCOMPARE(verdictInEventRun, second ? QString("FAIL") : QString(""));
        QVERIFY(QString::fromStdString(harness::Trace().front()).startsWith(second ? "search " : "loadfirmware "));

        QStringList expected = {frame(221, 0x10, 15), frame(221, 0x10, 15)};
        for (int a = 0; a < 4; ++a)
            expected << frame(221, 0x08 + a, 4);
        expected << frame(217, 0x04, 0) << measurements() << frame(217, 0x04, 0xFFFF) << measurements();
        QCOMPARE(requests(), expected);
        QCOMPARE(form->Label2->text(), QString("PASS"));
        QCOMPARE(form->Label2->palette().color(QPalette::WindowText), QColor(0, 255, 0));
        QCOMPARE(State.ChannelAddress, int16_t{4});
        QCOMPARE(State.DataWord, 65535);
    }

    void selfTestFailsOnAFaultyBoard()
    {
        if (!qgetenv("EVLINK_SIM").contains("fault="))
            QSKIP("needs a faulty channel on the simulated board");
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        QCOMPARE(form->Label2->text(), QString("FAIL"));
        QCOMPARE(form->Label2->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    }

    void sweepSurvivesABoardThatStopsAnswering()
    {
        if (!qgetenv("EVLINK_SIM").contains("unplug-after="))
            QSKIP("needs a board that stops answering");
        sweepStoppingAt(20);
        QCOMPARE(form->Label1->text(), QString("19"));
        // Once the board is gone every measurement repeats the last value read.
        for (int i = 15; i < 20; ++i)
            for (const auto* v : sweepArrays())
                QCOMPARE((*v)[i], State.SweepVoltsD[19]);
    }

    void aFullSweepRampsEveryChannelInItsRange()
    {
        if (qEnvironmentVariableIsEmpty("QV_TEST_FULL_SWEEP"))
            QSKIP("the full sweep runs on its own, without a trace");
        // All four channels powered, ranges +5 V, +10 V, +-5 V and +-10 V.
        auto send = [](int16_t address, int16_t reg, int32_t data) { WriteFrame(address, reg, data); };
        send(0, 2, 0x1F);
        for (int16_t a = 0; a < 4; ++a)
            send(a, 1, std::array{0, 1, 3, 4}[a]);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(form->Label1->text(), QString("65535"));
        const float ends[4][2] = {{0, 5}, {0, 10}, {-5, 5}, {-10, 10}};
        for (int c = 0; c < 4; ++c) {
            const std::vector<float>& v = *sweepArrays()[c];
            QVERIFY(std::abs(v[0] - ends[c][0]) < 0.01f && std::abs(v[65535] - ends[c][1]) < 0.01f);
            for (size_t i = 0; i < 65536; i += 7) {  // straight: within two ADC steps of the line
                const double line = v[0] + (v[65535] - v[0]) * static_cast<double>(i) / 65535.0;
                QVERIFY2(std::abs(v[i] - line) <= 2 * 20.0 / 8192, qPrintable(QString::number(i)));
            }
        }
    }

    // Last: the program ends here.
    void closingTheWindowEndsTheProgramAndTheSweep()
    {
        form->Label1->setText("Label1");
        watching([&] {
            if (form->Label1->text() == "2")
                form->close();
        }, form->Command1);
        QVERIFY(harness::Ended());
        QCOMPARE(requests().size(), 12 * 3);
        QVERIFY(form->Command1->isEnabled());
    }
};

QTEST_MAIN(TestWindow)
#include "test_testform.moc"
