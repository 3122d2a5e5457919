// The display controls: how the user flips a toggle, what code may set without
// raising events, and what assistive technology reads from each control.
#include "controls/led.h"
#include "controls/numberlabel.h"
#include "controls/numled.h"
#include "controls/repaint.h"
#include "controls/toggle.h"

#include <QAccessible>
#include <QLabel>
#include <QVBoxLayout>
#include <QtTest>

class ControlsTest : public QObject {
    Q_OBJECT
private slots:
    void toggleFlipsOnUserInputOnly()
    {
        Toggle t("CLR LOW", "CLR HIGH");
        t.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t));
        QList<bool> atEvent;  // the state each Event9 sees: raised once, after the change
        connect(&t, &Toggle::Event9, [&] { atEvent << t.value(); });
        QTest::mouseClick(&t, Qt::LeftButton);
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_A})
            QTest::keyClick(&t, key);
        QCOMPARE(atEvent, (QList<bool>{true, false, true, false}));

        // Assistive technology sees a checkable button named by its caption;
        // its actions flip it as a click does.
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&t);
        QVERIFY(a->role() == QAccessible::CheckBox || a->role() == QAccessible::Button);
        QVERIFY(a->state().checkable && a->state().focusable && !a->state().checked);
        QCOMPARE(a->text(QAccessible::Name), QString("CLR LOW"));
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(a->state().checked);
        QCOMPARE(a->text(QAccessible::Name), QString("CLR HIGH"));
        a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(atEvent, (QList<bool>{true, false, true, false, true, false}));

        // Code sets the state quietly, the caption following; a locked toggle
        // ignores mouse, keyboard and assistive technology.
        t.setValue(true);
        QCOMPARE(t.text(), QString("CLR HIGH"));
        t.setEnabled(false);
        QTest::mouseClick(&t, Qt::LeftButton);
        QTest::keyClick(&t, Qt::Key_Space);
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(t.value());
        QCOMPARE(atEvent.size(), 6);
    }

    void toggleLooksDifferentInEveryState()
    {
        Toggle t("LDAC LOW", "LDAC HIGH");
        t.resize(87, 33);
        QList<QImage> looks;
        for (int state = 0; state < 4; ++state) {
            t.setEnabled(state < 2);
            t.setValue(state % 2);
            looks << t.grab().toImage();
        }
        for (const QImage& look : looks)
            QCOMPARE(looks.count(look), 1);
    }

    void lampStateAndAccessibility()
    {
        LED lamp;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&lamp);
        QCOMPARE(a->role(), QAccessible::Indicator);
        QCOMPARE(a->text(QAccessible::Value), QString("dark"));
        const QImage dark = lamp.grab().toImage();
        lamp.setLit(5);
        QCOMPARE(lamp.lit(), 1);
        QCOMPARE(a->text(QAccessible::Value), QString("lit"));
        QVERIFY(a->state().checked && lamp.grab().toImage() != dark);
        lamp.setLit(0);
        QVERIFY(lamp.lit() == 0 && !a->state().checked);
    }

    void numericDisplayValueAndAccessibility()
    {
        NumLED volts, bit;
        volts.setAccessibleName("DAC A (V)");
        volts.setValue("-9.9976");
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&volts);
        QCOMPARE(a->role(), QAccessible::StaticText);
        QCOMPARE(a->text(QAccessible::Name), QString("DAC A (V) -9.9976"));
        QCOMPARE(a->text(QAccessible::Value), QString("-9.9976"));
        bit.setValue("1");  // without an owner's name the value is the name
        QCOMPARE(QAccessible::queryAccessibleInterface(&bit)->text(QAccessible::Name), QString("1"));

        volts.resize(volts.sizeHint());
        const QImage before = volts.grab().toImage();
        volts.setValue("-0.0024");  // as wide: the new digits show
        QVERIFY(volts.grab().toImage() != before);
    }

    // A caption set and painted at once leaves no update queued to wake the
    // event loop, and the label goes on taking updates as before.
    void captionPaintedAtOnceQueuesNothing()
    {
        QWidget window;
        auto* label = new QLabel("Label1", &window);
        (new QVBoxLayout(&window))->addWidget(label);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        label->repaint();
        QCoreApplication::processEvents();
        struct Count : QObject {
            QObject* label = nullptr;
            int paints = 0, updateRequests = 0;
            bool eventFilter(QObject* watched, QEvent* e) override
            {
                paints += watched == label && e->type() == QEvent::Paint;
                updateRequests += e->type() == QEvent::UpdateRequest;
                return false;
            }
        } count;
        count.label = label;
        label->installEventFilter(&count);
        window.installEventFilter(&count);
        for (const char* caption : {"0", "65535", "65535"}) {
            const int before = count.paints;
            SetCaptionAndRepaint(*label, caption);
            QCOMPARE(label->text(), QString(caption));
            QCOMPARE(count.paints, before + 1);
        }
        // Nothing was left queued for the event loop.
        count.updateRequests = 0;
        QCoreApplication::processEvents();
        QCOMPARE(count.updateRequests, 0);
        QVERIFY(label->updatesEnabled());
        label->setText("1");
        QTRY_COMPARE(count.paints, 4);
    }

    // The counting label looks to the pixel as a plain label does, for every
    // kind of number, caption, margin, font and state.
    void numberLabelLooksAsALabelDoes()
    {
        NumberLabel fast;
        QLabel plain;
        QFont font("MS Sans Serif");
        font.setPointSizeF(8.25);
        for (QLabel* l : {static_cast<QLabel*>(&fast), &plain}) {
            l->setFont(font);
            l->setAlignment(Qt::AlignCenter);
            l->setAutoFillBackground(true);
            l->setFixedSize(61, 17);
        }
        auto same = [&](const QString& text) {
            fast.setText(text);
            plain.setText(text);
            return fast.grab().toImage() == plain.grab().toImage();
        };
        for (int i = 0; i < 65536; i += i < 1200 ? 1 : 97)
            QVERIFY2(same(QString::number(i)), qPrintable(QString::number(i)));
        for (const char* other : {"Label1", "", "12a", "-5", "12345678901"})
            QVERIFY2(same(other), other);
        for (QLabel* l : {static_cast<QLabel*>(&fast), &plain})
            l->setMargin(3);
        QVERIFY(same("4711"));
        font.setPointSize(12);
        for (QLabel* l : {static_cast<QLabel*>(&fast), &plain})
            l->setFont(font);
        QVERIFY(same("65535"));
        for (QLabel* l : {static_cast<QLabel*>(&fast), &plain})
            l->setEnabled(false);
        QVERIFY(same("123"));
    }
};

QTEST_MAIN(ControlsTest)
#include "test_controls.moc"
