// The panel against a simulated 12-bit board that reports alarms (the process
// runs with EVLINK_SIM=only,resolution=12,alarm=oc-a,alarm=oc-c,alarm=tsd).
#include "panelcheck.h"
#include "platform/led.h"
#include "platform/toggle.h"

#include <QAction>
#include <QPushButton>

using namespace panelcheck;

class BoardOptions : public QObject {
    Q_OBJECT
    MainForm* form = nullptr;

    QString readBack(QPushButton* read, QLabel* label)
    {
        QTest::mouseClick(read, Qt::LeftButton);
        return label->text();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(qEnvironmentVariable("EVLINK_SIM").contains("alarm=oc-c"));
        harness::Setup(true);
        QVERIFY(ProgramStart());
        form = &MainForm::Instance();
    }

    void alarmsLightTheirLampsAndGoBackWithTheSwitches()
    {
        // The start-up read-all has read the power control register.
        QCOMPARE(State.PowerData, 0x02A0);
        const QList<LED*> lamps{form->LED1, form->LED2, form->LED3, form->LED4, form->LED5};
        const QList<int> lit{1, 0, 1, 0, 1};  // OC A, OC B, OC C, OC D, TSD
        for (int i = 0; i < lamps.size(); ++i)
            QCOMPARE(lamps[i]->lit(), lit[i]);
        for (Toggle* t : {form->Toggle5, form->Toggle6, form->Toggle7, form->Toggle8, form->Toggle9})
            QVERIFY(!t->value());

        QCOMPARE(RequestsOf([&] { QTest::mouseClick(form->Toggle6, Qt::LeftButton); }),
                 QStringList{Out(221, 0x10, 0x02A2)});
        // A read lights the lamps again from the device.
        form->LED1->setLit(0);
        QTest::mouseClick(form->Command6, Qt::LeftButton);
        QCOMPARE(State.PowerData, 0x02A2);
        QVERIFY(form->Toggle6->value());
        for (int i = 0; i < lamps.size(); ++i)
            QCOMPARE(lamps[i]->lit(), lit[i]);
        QCOMPARE(ShownImage(*form), 0x9002A2);
    }

    void twelveBitBoardReadsBackWithTheLowBitsClear()
    {
        Enter(form->Text11, "FFFF");
        QCOMPARE(readBack(form->Command7, form->Label8), QString("FFF0"));
        Enter(form->Text1, "1234");
        QCOMPARE(readBack(form->Command8, form->Label9), QString("1230"));

        form->Mnu12->trigger();
        QCOMPARE(readBack(form->Command7, form->Label8), QString("FFF"));
        Enter(form->Text16, "abc");
        QCOMPARE(readBack(form->Command9, form->Label10), QString("ABC"));
        QCOMPARE(ShownImage(*form), 0x820ABC);
    }
};

QTEST_MAIN(BoardOptions)
#include "test_boardoptions.moc"
