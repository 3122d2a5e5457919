// The panel against a simulated board that reports alarms (the process runs
// with EVLINK_SIM=only,resolution=12,alarm=oc-a,alarm=oc-c,alarm=tsd; the
// 12-bit board's read-back is checked with the libraries).
#include "panelcheck.h"
#include "controls/led.h"
#include "controls/toggle.h"

#include <QPushButton>

using namespace panelcheck;

class BoardOptions : public QObject {
    Q_OBJECT
    MainForm* form = nullptr;

private slots:
    void initTestCase()
    {
        harness::Setup(true);
        QVERIFY(ProgramStart());
        form = &MainForm::Instance();
    }

    // OC A, OC B, OC C, OC D and TSD lamps; the alarm bits go back with a switch.
    void alarmsLightTheirLampsAndGoBackWithTheSwitches()
    {
        auto lamps = [&] {
            return QList<int>{form->LED1->lit(), form->LED2->lit(), form->LED3->lit(), form->LED4->lit(),
                              form->LED5->lit()};
        };
        QCOMPARE(State.PowerData, 0x02A0);  // read at start-up
        QCOMPARE(lamps(), QList<int>({1, 0, 1, 0, 1}));
        QCOMPARE(RequestsOf([&] { QTest::mouseClick(form->Toggle6, Qt::LeftButton); }),
                 QStringList{Out(221, 0x10, 0x02A2)});
        form->LED1->setLit(0);
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QCOMPARE(State.PowerData, 0x02A2);
        QCOMPARE(lamps(), QList<int>({1, 0, 1, 0, 1}));
    }
};

QTEST_MAIN(BoardOptions)
#include "test_boardoptions.moc"
