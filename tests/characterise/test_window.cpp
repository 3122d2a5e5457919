// The Characterise window offscreen, on the simulated board with the
// simulated meter: opened from the test window, connect and estimate, a run
// with its progress and its end, a meter that stops answering, a bad
// address; every control named for assistive technology; the test window's
// sweep and self-test held off while a run holds the board.
#include "analysis/window/analysiswindow.h"
#include "board/boardlink.h"
#include "board/ops.h"
#include "board/owner.h"
#include "board/primitives.h"
#include "characterise/session.h"
#include "characterise/window/characterisewindow.h"
#include "harness.h"
#include "simmeterprocess.h"
#include "testwindow/testform.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {
struct Pulse final : PulseLdacSetting {
    bool PulseLdacTicked() const override { return true; }
};

QString Scratch(const char* name) { return QString(QV_TEST_SCRATCH) + "/" + name; }

bool WaitForEnd()
{
    return QTest::qWaitFor([] { return !characterise::Session::Instance().Busy(); }, 30000);
}
}  // namespace

class TestCharacteriseWindow : public QObject {
    Q_OBJECT
    Pulse pulse;
    CharacteriseWindow* w = nullptr;
    std::unique_ptr<testmeter::SimMeterProcess> meter;

    // A small plan: nine codes, two readings each, against `address`.
    void Plan(const QString& address, const char* file)
    {
        w->Meter->setText(address);
        w->Codes->setCurrentIndex(1);
        w->Every->setValue(8192);
        w->Settle->setValue(0);
        w->Readings->setValue(2);
        w->Timeout->setValue(0.3);
        w->ResultsFile->setText(Scratch(file));
    }

private slots:
    void initTestCase()
    {
        harness::Setup(true, false);
        AttachPanel(&pulse, nullptr);
        Board().ConnectStep();
        ops::StartUpTraffic();
        ops::SetPowerBit(0, true);
        ops::WriteRange(0, 4);
        meter = std::make_unique<testmeter::SimMeterProcess>(std::vector<std::string>{});
        QVERIFY(meter->ok());
        TestForm& form = TestForm::Open();
        form.Form_Load();
        QTest::mouseClick(form.Characterise, Qt::LeftButton);
        w = &CharacteriseWindow::Open();
        QVERIFY(w->isVisible());
    }

    void everyControlIsNamed()
    {
        for (QWidget* c : w->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QLineEdit*>(c) || qobject_cast<QAbstractSpinBox*>(c) ||
                                 qobject_cast<QComboBox*>(c) || qobject_cast<QProgressBar*>(c) ||
                                 (qobject_cast<QLabel*>(c) && !c->objectName().isEmpty());
            if (control && !c->objectName().startsWith("qt_"))
                QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
            if (auto* b = qobject_cast<QPushButton*>(c))
                QVERIFY2(!b->text().isEmpty() && !b->accessibleDescription().isEmpty(), qPrintable(b->objectName()));
        }
    }

    void connectsEstimatesAndRuns()
    {
        Plan(QString::fromStdString(meter->address()), "window.txt");
        QTest::mouseClick(w->ConnectButton, Qt::LeftButton);
        QVERIFY2(w->Identity->text().startsWith("QV4816X,QV-SIMDMM,SIMULATED,"), qPrintable(w->Message->text()));
        QVERIFY2(w->Estimate->text().startsWith("About ") && w->Estimate->text().contains("for 9 codes"),
                 qPrintable(w->Estimate->text()));
        TestForm& form = TestForm::Open();
        QTest::mouseClick(w->StartButton, Qt::LeftButton);
        QVERIFY(characterise::Session::Instance().Busy());
        // Held: the plan and the test window's sweep and self-test wait for the end.
        QVERIFY(!w->StartButton->isEnabled() && !w->Meter->isEnabled() && !w->Codes->isEnabled());
        QVERIFY(w->StopButton->isEnabled() && w->PauseButton->isEnabled());
        QVERIFY(!form.Command1->isEnabled() && !form.Command3->isEnabled());
        QVERIFY(WaitForEnd());
        QTRY_COMPARE(w->TimeLeft->text(), QString("9 of 9 codes measured."));
        QCOMPARE(w->Progress->value(), 9);
        QVERIFY2(w->Message->text().startsWith("Done: 9 codes measured"), qPrintable(w->Message->text()));
        QVERIFY(w->AnalyseButton->isEnabled() && w->StartButton->isEnabled());
        QVERIFY(form.Command1->isEnabled() && form.Command3->isEnabled());
        // The results in the analysis window: channel A alone, its nine codes.
        QTest::mouseClick(w->AnalyseButton, Qt::LeftButton);
        AnalysisWindow* analysis = CharacteriseWindow::ResultsWindow();
        QVERIFY(analysis != nullptr && analysis->isVisible());
        QCOMPARE(analysis->Analyses()[0].figures.codes, 9);
        QCOMPARE(analysis->Analyses()[1].figures.codes, 0);
        QVERIFY2(analysis->SourceLabel()->text().startsWith("window.txt: characterisation of channel A, 9 of 9 codes"),
                 qPrintable(analysis->SourceLabel()->text()));
        QVERIFY(analysis->NotesLabel()->text().contains("as the results file recorded them"));
        analysis->SetRange(0, 1);  // the boxes still change what it is analysed under
        QCOMPARE(analysis->Analyses()[0].conditions.range, 1);
        QCOMPARE(analysis->Analyses()[0].figures.codes, 9);
    }

    void pauseAndStop()
    {
        Plan(QString::fromStdString(meter->address()), "window-stop.txt");
        w->Codes->setCurrentIndex(0);  // the major carries: enough codes to stop in the middle
        QTest::mouseClick(w->StartButton, Qt::LeftButton);
        QTest::mouseClick(w->PauseButton, Qt::LeftButton);
        QTRY_COMPARE(w->PauseButton->text(), QString("Resume"));
        QVERIFY(w->TimeLeft->text().startsWith("Paused after "));
        QTest::mouseClick(w->PauseButton, Qt::LeftButton);
        QTest::mouseClick(w->StopButton, Qt::LeftButton);
        QVERIFY(!characterise::Session::Instance().Busy());
        QVERIFY2(w->Message->text().startsWith("Stopped: the "), qPrintable(w->Message->text()));
    }

    void aMeterThatStopsAnsweringIsReported()
    {
        testmeter::SimMeterProcess hung({"--hang-after", "3"});
        Plan(QString::fromStdString(hung.address()), "window-hung.txt");
        harness::ShownBoxes().clear();
        QTest::mouseClick(w->StartButton, Qt::LeftButton);
        QVERIFY(WaitForEnd());
        QTRY_VERIFY(w->Message->text().startsWith("The run stopped: tcp://"));
        QVERIFY(w->Message->text().contains("no answer within 0.3 s"));
        QCOMPARE(harness::ShownBoxes().size(), size_t{1});
        QCOMPARE(QString::fromStdString(harness::ShownBoxes()[0].text), w->Message->text());
        QCOMPARE(owner::Current(), owner::Activity::None);
    }

    void badInputIsSaidNotRun()
    {
        Plan("tcp://", "window-bad.txt");
        QTest::mouseClick(w->StartButton, Qt::LeftButton);
        QCOMPARE(w->Message->text(), QString("no host"));
        w->Meter->setText("adc");
        w->Codes->setCurrentIndex(3);
        w->ListFile->setText(Scratch("no-such-list.txt"));
        QTest::mouseClick(w->StartButton, Qt::LeftButton);
        QVERIFY(w->Message->text().startsWith(Scratch("no-such-list.txt") + ": cannot open"));
        QVERIFY(!characterise::Session::Instance().Busy());
    }

    void cleanupTestCase() { characterise::Session::Instance().Reset(); }
};

QTEST_MAIN(TestCharacteriseWindow)
#include "test_window.moc"
