// The display controls: how the user flips a toggle, what code may set without
// raising events, and what assistive technology reads from each control.
#include "platform/led.h"
#include "platform/numled.h"
#include "platform/toggle.h"

#include <QAccessible>
#include <QtTest>

class ControlsTest : public QObject {
    Q_OBJECT
private slots:
    void toggleFlipsOnUserInputOnly()
    {
        Toggle t("CLR LOW", "CLR HIGH");
        t.resize(t.sizeHint());
        t.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t));
        QCOMPARE(t.value(), false);
        QCOMPARE(t.text(), QString("CLR LOW"));

        QList<bool> stateAtEvent;
        connect(&t, &Toggle::Event9, [&] { stateAtEvent.append(t.value()); });

        QTest::mouseClick(&t, Qt::LeftButton);
        QCOMPARE(stateAtEvent, QList<bool>{true});  // raised once, after the change
        QCOMPARE(t.text(), QString("CLR HIGH"));

        t.setFocus();
        QTest::keyClick(&t, Qt::Key_Space);
        QTest::keyClick(&t, Qt::Key_Return);
        QTest::keyClick(&t, Qt::Key_Enter);
        QCOMPARE(stateAtEvent, (QList<bool>{true, false, true, false}));
        QTest::keyClick(&t, Qt::Key_A);
        QCOMPARE(stateAtEvent.size(), 4);

        // Code sets the state quietly, and the caption still follows.
        t.setValue(true);
        QCOMPARE(t.text(), QString("CLR HIGH"));
        t.setValue(false);
        QCOMPARE(t.text(), QString("CLR LOW"));
        QCOMPARE(stateAtEvent.size(), 4);

        // A locked toggle ignores the mouse and the keyboard.
        t.setValue(true);
        t.setEnabled(false);
        QTest::mouseClick(&t, Qt::LeftButton);
        QTest::keyClick(&t, Qt::Key_Space);
        QTest::keyClick(&t, Qt::Key_Return);
        QCOMPARE(t.value(), true);
        QCOMPARE(stateAtEvent.size(), 4);
    }

    void toggleLooksDifferentInEveryState()
    {
        Toggle t("LDAC LOW", "LDAC HIGH");
        t.resize(87, 33);  // 1305 x 495 twips
        QList<QImage> looks;
        for (bool enabled : {true, false}) {
            for (bool on : {false, true}) {
                t.setEnabled(enabled);
                t.setValue(on);
                looks.append(t.grab().toImage());
            }
        }
        for (int i = 0; i < looks.size(); ++i)
            for (int j = i + 1; j < looks.size(); ++j)
                QVERIFY2(looks[i] != looks[j], qPrintable(QString("looks %1 and %2 alike").arg(i).arg(j)));
    }

    void toggleIsACheckableButtonNamedByItsCaption()
    {
        Toggle t("TSD DISABLED", "TSD ENABLED");
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&t);
        QVERIFY(a);
        QVERIFY(a->role() == QAccessible::CheckBox || a->role() == QAccessible::Button);
        QVERIFY(a->state().checkable);
        QVERIFY(a->state().focusable);
        QCOMPARE(a->text(QAccessible::Name), QString("TSD DISABLED"));
        QVERIFY(!a->state().checked);
        t.setValue(true);
        QCOMPARE(a->text(QAccessible::Name), QString("TSD ENABLED"));
        QVERIFY(a->state().checked);

        // A flip through the assistive technology is the user's flip too.
        int events = 0;
        connect(&t, &Toggle::Event9, [&] { ++events; });
        QAccessibleActionInterface* actions = a->actionInterface();
        QVERIFY(actions);
        for (const QString& name : {QAccessibleActionInterface::toggleAction(), QAccessibleActionInterface::pressAction()}) {
            QVERIFY(actions->actionNames().contains(name));
            const bool before = t.value();
            actions->doAction(name);
            QCOMPARE(t.value(), !before);
            QCOMPARE(events, 1);
            events = 0;
        }
        t.setEnabled(false);
        actions->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(events, 0);
    }

    void lampStateAndAccessibility()
    {
        LED lamp;
        lamp.setAccessibleName("OC A");
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&lamp);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::Indicator);
        QCOMPARE(a->text(QAccessible::Name), QString("OC A"));
        QCOMPARE(a->text(QAccessible::Value), QString("dark"));
        const QImage dark = lamp.grab().toImage();

        lamp.setLit(5);
        QCOMPARE(lamp.lit(), 1);
        QCOMPARE(a->text(QAccessible::Value), QString("lit"));
        QCOMPARE(a->text(QAccessible::Description), QString("lit"));
        QVERIFY(a->state().checked);
        QVERIFY(lamp.grab().toImage() != dark);

        lamp.setLit(0);
        QCOMPARE(lamp.lit(), 0);
        QVERIFY(!a->state().checked);
    }

    void numericDisplayValueAndAccessibility()
    {
        NumLED volts;
        NumLED bit;
        volts.setAccessibleName("DAC A (V)");
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&volts);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::StaticText);
        QCOMPARE(a->text(QAccessible::Name), QString("DAC A (V)"));

        volts.setValue("-10.0000");
        QCOMPARE(volts.value(), QString("-10.0000"));
        QCOMPARE(a->text(QAccessible::Name), QString("DAC A (V) -10.0000"));
        QCOMPARE(a->text(QAccessible::Value), QString("-10.0000"));

        // Without an owner's name the value is the name.
        bit.setValue("1");
        QCOMPARE(QAccessible::queryAccessibleInterface(&bit)->text(QAccessible::Name), QString("1"));

        // Width: by the text, or by the digits asked for.
        QVERIFY(volts.sizeHint().width() > bit.sizeHint().width());
        bit.setDigits(8);
        QCOMPARE(bit.sizeHint().width(), volts.sizeHint().width());
        QVERIFY(bit.sizeHint().height() <= 33);

        volts.resize(volts.sizeHint());
        const QImage before = volts.grab().toImage();
        volts.setValue("9.9976");
        QVERIFY(volts.grab().toImage() != before);
    }
};

QTEST_MAIN(ControlsTest)
#include "controls_test.moc"
