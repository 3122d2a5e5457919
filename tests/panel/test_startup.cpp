// Start-up of the register panel on the simulated board, the panel's controls
// as first drawn, the hardware control pins, and the exit menu.
#include "board/primitives.h"
#include "harness.h"
#include "panelcheck.h"
#include "panel/codefield.h"
#include "panel/mainform.h"
#include "panel/pickbox.h"
#include "controls/led.h"
#include "controls/numled.h"
#include "controls/toggle.h"
#include "runtime/savefile.h"
#include "about/frmabout.h"
#include "testwindow/testform.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/resource.h>

class StartUp : public QObject {
    Q_OBJECT
    bool second = true;
    std::vector<std::string> startTrace;
    MainForm* form = nullptr;

    QString requestAfter(const std::function<void()>& act)
    {
        harness::ClearTrace();
        act();
        const auto req = harness::Requests();
        return req.empty() ? QString() : QString::fromStdString(req.back());
    }

private slots:
    void initTestCase()
    {
        second = qEnvironmentVariableIsEmpty("QV_TEST_FIRST");
        harness::Setup(second);
        QVERIFY(ProgramStart());
        form = &MainForm::Instance();
        startTrace = harness::Trace();
    }

    void connectsThenSendsThePinWordTwiceFirstAndTheAdcWordLast()
    {
        const std::string dir = harness::BuildDir();
        std::vector<std::string> expected;
        if (second) {
            expected = {"search vid=0x1234 pid=0x5678 -> board=1",
                        "connect vid=0x1234 pid=0x5678 board=1 -> handle=1",
                        "download path=" + dir + "/QV4816.hex -> status=0"};
        } else {
            expected = {"loadfirmware path=" + dir + "/QV4816.hex -> status=1"};
        }
        expected.push_back("request code=222 dir=0 value=0x009D index=0x0000 length=0");
        expected.push_back("request code=222 dir=0 value=0x009D index=0x0000 length=0");
        for (size_t i = 0; i < expected.size(); ++i)
            QCOMPARE(QString::fromStdString(startTrace[i]), QString::fromStdString(expected[i]));
        QVERIFY(startTrace.back().rfind("request code=218 dir=1 value=0xA000 index=0x0000 length=2", 0) == 0);
        // Between them, the read-all: every register in order, each a read
        // frame and the frame that clocks the data out.
        QCOMPARE(startTrace.size(), expected.size() + 21);
        const int reads[10] = {0x80, 0x81, 0x82, 0x83, 0x90, 0x99, 0x88, 0x89, 0x8A, 0x8B};
        for (size_t i = 0; i < 10; ++i)
            panelcheck::CheckReadOf({QString::fromStdString(startTrace[expected.size() + 2 * i]),
                         QString::fromStdString(startTrace[expected.size() + 2 * i + 1])}, reads[i]);
    }

    // What start-up leaves on screen. (The list entries are picked by their
    // texts in the register tests.)
    void panelShowsItsControlsAsFirstDrawn()
    {
        QCOMPARE(form->windowTitle(),
                 QString("QV4816X - Complete, Quad, 16-Bit, Serial Input, Unipolar/Bipolar Voltage Output DAC"
                         " (simulated board)"));
        const QStringList presets = {"FFFF", "C000", "8000", "0"};
        const auto fields = form->CodeFields();
        for (size_t i = 0; i < fields.size(); ++i)
            QCOMPARE(fields[i]->text(), presets[static_cast<int>(i % 4)]);
        form->Text2->setText(QString(40000, '0'));  // a code field has no length limit
        QCOMPARE(form->Text2->text().size(), 40000);
        form->Text2->setText("0");

        QCOMPARE(form->Check1->checkState(), Qt::Checked);
        QVERIFY(form->Toggle12->value() && !form->Toggle12->isEnabled() && form->Toggle10->value());
        QCOMPARE(form->Toggle11->text(), QString("BINARY"));
        QVERIFY(form->Mnu16->isChecked() && !form->Mnu14->isChecked() && !form->Mnu12->isChecked());
        QCOMPARE(form->ComboCoding->count() + form->ComboRangeD->count(), 8);

        // After the read-all only the R/W bit is lit.
        for (int i = 0; i < 24; ++i)
            QCOMPARE(form->BitsDisplay[static_cast<size_t>(i)]->value(), QString(i == 23 ? "1" : "0"));
        for (QLabel* caption : form->Label1)  // the frame captions stand clear of its outline
            QVERIFY(caption == nullptr || !caption->geometry().intersects(form->Shape1->geometry()));
    }

    void everyControlHasAnAccessibleRoleAndName()
    {
        const auto widgets = form->findChildren<QWidget*>();
        int checked = 0;
        for (QWidget* w : widgets) {
            const bool operable = qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w) ||
                                  qobject_cast<QComboBox*>(w) || qobject_cast<LED*>(w) || qobject_cast<NumLED*>(w);
            if (!operable || w->objectName().isEmpty() || w->objectName().startsWith("qt_") || qobject_cast<QLineEdit*>(w->parentWidget()) ||
                qobject_cast<QComboBox*>(w->parentWidget()))
                continue;
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
            QVERIFY2(iface != nullptr, qPrintable(w->objectName()));
            QVERIFY2(!iface->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(w->objectName()));
            ++checked;
        }
        QVERIFY(checked > 80);
        QCOMPARE(QAccessible::queryAccessibleInterface(form->Text1)->text(QAccessible::Name),
                 QString("DAC B code field 3"));

        // Each channel frame is named by its own caption; each read-back
        // label by what it shows and its value, as the value changes.
        const std::array<QGroupBox*, 4> frames{form->Frame8, form->Frame9, form->Frame10, form->Frame11};
        for (size_t c = 0; c < 4; ++c) {
            const QString channel = QString("DAC %1").arg(QChar('A' + int(c)));
            QCOMPARE(QAccessible::queryAccessibleInterface(frames[c])->text(QAccessible::Name), channel);
            QLabel* readBack = form->ReadBackLabels()[c];
            QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(readBack);
            QCOMPARE(shown->role(), QAccessible::StaticText);
            QCOMPARE(shown->text(QAccessible::Name), channel + " read-back " + readBack->text());
            readBack->setText("8000");
            QCOMPARE(shown->text(QAccessible::Name), channel + " read-back 8000");
        }
    }

    void pinSwitchesSendTheWholePinWord()
    {
        QCOMPARE(requestAfter([&] { QTest::mouseClick(form->Toggle10, Qt::LeftButton); }),
                 QString("request code=222 dir=0 value=0x0095 index=0x0000 length=0"));
        QCOMPARE(State.ClrPin, int16_t(0));
        QTest::mouseClick(form->Toggle10, Qt::LeftButton);
        QCOMPARE(requestAfter([&] { QTest::mouseClick(form->Toggle11, Qt::LeftButton); }),
                 QString("request code=222 dir=0 value=0x0099 index=0x0000 length=0"));
        QCOMPARE(form->Toggle11->text(), QString("2sCOMPLEMENT"));
        QTest::mouseClick(form->Toggle11, Qt::LeftButton);

        // A locked LDAC switch cannot be flipped.
        QCOMPARE(requestAfter([&] { QTest::mouseClick(form->Toggle12, Qt::LeftButton); }), QString());
        QVERIFY(form->Toggle12->value());
    }

    void unlockingLdacSendsNothingAndTickingAgainRaisesIt()
    {
        QCOMPARE(requestAfter([&] { QTest::mouseClick(form->Check1, Qt::LeftButton); }), QString());
        QCOMPARE(form->Check1->checkState(), Qt::Unchecked);
        QVERIFY(form->Toggle12->isEnabled());
        QVERIFY(form->Toggle12->value());
        QCOMPARE(State.LdacPin, int16_t(1));

        QCOMPARE(requestAfter([&] { QTest::mouseClick(form->Toggle12, Qt::LeftButton); }),
                 QString("request code=222 dir=0 value=0x008D index=0x0000 length=0"));
        // With the box unticked a DAC write is a plain frame.
        QCOMPARE(requestAfter([&] { QTest::mouseClick(form->Text1, Qt::LeftButton); }),
                 QString("request code=221 dir=0 value=0x0001 index=0x8000 length=0"));

        QCOMPARE(requestAfter([&] { QTest::mouseClick(form->Check1, Qt::LeftButton); }),
                 QString("request code=222 dir=0 value=0x009D index=0x0000 length=0"));
        QVERIFY(form->Toggle12->value());
        QVERIFY(!form->Toggle12->isEnabled());
        QCOMPARE(requestAfter([&] { QTest::mouseClick(form->Text1, Qt::LeftButton); }),
                 QString("request code=217 dir=0 value=0x0001 index=0x8000 length=0"));
    }

    void logoAndMenuOpenTheOtherWindows()
    {
        QVERIFY(!TestForm::Exists());
        QTest::mouseDClick(form->Label16, Qt::LeftButton);
        QVERIFY(TestForm::Exists());
        QVERIFY(TestForm::Open().isVisible());
        QCOMPARE(TestForm::Open().windowTitle(), QString("QV4816X Test (simulated board)"));
        TestForm::Open().hide();
        QTest::keyClick(form->Label16, Qt::Key_Return);  // the keyboard way in
        QVERIFY(TestForm::Open().isVisible());

        form->MnuAbout->trigger();
        frmAbout& about = frmAbout::Open();
        QCOMPARE(about.lblVersion->text(), QString(second ? "Version 1.1.6 (simulated board)" : "Version 1.1.1 (simulated board)"));
        QTest::mouseClick(about.cmdOK, Qt::LeftButton);  // OK unloads it
        QVERIFY(!about.isVisible() && !about.Loaded());
    }

    // Under a file-size limit a save fails, leaving the old file and no
    // temporary, instead of ending the program.
    void aSaveBeyondTheFileSizeLimitFailsCleanly()
    {
        QTemporaryDir temp;
        const std::string target = temp.filePath("Default.dat").toStdString();
        std::string why;
        QVERIFY(ReplaceFileContents(target, "old\r\n", why));
        rlimit saved{}, small{4096, RLIM_INFINITY};
        getrlimit(RLIMIT_FSIZE, &saved);
        small.rlim_max = saved.rlim_max;
        setrlimit(RLIMIT_FSIZE, &small);
        const bool written = ReplaceFileContents(target, std::string(1 << 20, 'x'), why);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!written);
        QCOMPARE(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Default.dat"});
        QCOMPARE(QFileInfo(temp.filePath("Default.dat")).size(), 5);
    }

    void exitSendsNothingAndEnds()
    {
        QCOMPARE(requestAfter([&] { form->MnuExit->trigger(); }), QString());
        QVERIFY(harness::Ended());
        harness::Reset();
    }
};

QTEST_MAIN(StartUp)
#include "test_startup.moc"
