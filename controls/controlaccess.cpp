#include "controlaccess.h"

#include "led.h"
#include "numled.h"
#include "toggle.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

namespace {

constexpr const char* kShowsValue = "qvShowsValue";

// A checkable button named by its caption (unless the owner named it). Its
// press and toggle actions click it, as the user would, so the owner hears
// Event9 for a flip made through assistive technology too.
class ToggleAccessible : public QAccessibleWidget {
public:
    explicit ToggleAccessible(Toggle* toggle) : QAccessibleWidget(toggle, QAccessible::CheckBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const QString owner = widget()->accessibleName();
            return owner.isEmpty() ? toggle()->text() : owner;
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = toggle()->value();
        s.pressed = toggle()->isDown();
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList{toggleAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override
    {
        if (name == toggleAction() || name == pressAction())
            toggle()->click();  // does nothing while disabled
        else
            QAccessibleWidget::doAction(name);
    }

private:
    Toggle* toggle() const { return static_cast<Toggle*>(widget()); }
};

class LampAccessible : public QAccessibleWidget {
public:
    explicit LampAccessible(LED* lamp) : QAccessibleWidget(lamp, QAccessible::Indicator) {}

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: {
            const QString name = widget()->accessibleName();
            return name.isEmpty() ? QStringLiteral("Lamp") : name;
        }
        case QAccessible::Description:
        case QAccessible::Value:
            return lamp()->stateText();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checked = lamp()->lit() != 0;
        return s;
    }

private:
    LED* lamp() const { return static_cast<LED*>(widget()); }
};

// A numeric display, or a label that shows a value.
class NumberAccessible : public QAccessibleWidget {
public:
    explicit NumberAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: {
            const QString owner = ownerName();
            const QString shown = value().trimmed();
            if (owner.isEmpty())
                return shown;
            return shown.isEmpty() ? owner : owner + QLatin1Char(' ') + shown;
        }
        case QAccessible::Value:
            return value();
        default:
            return QAccessibleWidget::text(t);
        }
    }

private:
    QString value() const
    {
        if (auto* display = qobject_cast<NumLED*>(widget()))
            return display->value();
        return static_cast<QLabel*>(widget())->text();
    }
    // A label keeps its accessible name empty, so that it announces each new
    // text; what it shows is kept beside it.
    QString ownerName() const
    {
        const QVariant what = widget()->property(kShowsValue);
        return what.isValid() ? what.toString() : widget()->accessibleName();
    }
};

QAccessibleInterface* DisplayFactory(const QString& key, QObject* object)
{
    if (key == QLatin1String("Toggle")) {
        if (auto* toggle = qobject_cast<Toggle*>(object))
            return new ToggleAccessible(toggle);
    } else if (key == QLatin1String("LED")) {
        if (auto* lamp = qobject_cast<LED*>(object))
            return new LampAccessible(lamp);
    } else if (key == QLatin1String("NumLED")) {
        if (auto* display = qobject_cast<NumLED*>(object))
            return new NumberAccessible(display);
    } else if (key == QLatin1String("QLabel")) {
        if (auto* label = qobject_cast<QLabel*>(object); label != nullptr && label->property(kShowsValue).isValid())
            return new NumberAccessible(label);
    }
    return nullptr;
}

}  // namespace

void InstallControlAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(DisplayFactory);
        return true;
    }();
    (void)installed;
}

void AnnounceLampChange(QWidget* lamp)
{
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent stateEvent(lamp, changed);
    QAccessible::updateAccessibility(&stateEvent);
    QAccessibleEvent descriptionEvent(lamp, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&descriptionEvent);
}

void AnnounceNumberChange(QWidget* display)
{
    QAccessibleEvent nameEvent(display, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameEvent);
}

void ShowsValue(QLabel* label, const QString& what)
{
    InstallControlAccessibility();
    label->setAccessibleName(QString());
    label->setProperty(kShowsValue, what);
    // An interface made before (a text set earlier announces itself) is
    // dropped, so that the next one asked for is this kind.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(label);
    if (made != nullptr && dynamic_cast<NumberAccessible*>(made) == nullptr)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}
