#include "toggle.h"

#include "controlaccess.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {
constexpr int kMargin = 2;
constexpr qreal kSmallestPointSize = 6.0;

QColor Blend(const QColor& a, const QColor& b, qreal towardsB)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * towardsB,
                            a.greenF() + (b.greenF() - a.greenF()) * towardsB,
                            a.blueF() + (b.blueF() - a.blueF()) * towardsB);
}

int LeverHeight(int widgetHeight, int textHeight)
{
    return qBound(6, widgetHeight - textHeight - 3 * kMargin, 12);
}
int LeverWidth(int leverHeight) { return 2 * leverHeight + 4; }
}  // namespace

Toggle::Toggle(const QString& offCaption, const QString& onCaption, QWidget* parent)
    : QAbstractButton(parent), offCaption_(offCaption), onCaption_(onCaption)
{
    InstallControlAccessibility();
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The caption follows the state however it changed; only a user's click
    // (mouse, Space, Enter, or an assistive technology's press) is an event.
    connect(this, &QAbstractButton::toggled, this, [this] { showCaption(); });
    connect(this, &QAbstractButton::clicked, this, [this] { emit Event9(); });
    showCaption();
}

void Toggle::setValue(bool on) { setChecked(on); }

void Toggle::showCaption()
{
    setText(isChecked() ? onCaption_ : offCaption_);
    update();
}

QFont Toggle::captionFont() const
{
    QFont f = font();
    const int room = width() - 2 * kMargin;
    while (f.pointSizeF() > kSmallestPointSize) {
        const QFontMetrics fm(f);
        if (qMax(fm.horizontalAdvance(offCaption_), fm.horizontalAdvance(onCaption_)) <= room)
            break;
        f.setPointSizeF(qMax(kSmallestPointSize, f.pointSizeF() - 0.5));
    }
    return f;
}

QSize Toggle::sizeHint() const
{
    const QFontMetrics fm(font());
    const int textWidth = qMax(fm.horizontalAdvance(offCaption_), fm.horizontalAdvance(onCaption_));
    const int width = qMax(textWidth, LeverWidth(12)) + 4 * kMargin;
    return {width, 12 + fm.height() + 3 * kMargin};
}

QSize Toggle::minimumSizeHint() const
{
    QFont small = font();
    small.setPointSizeF(kSmallestPointSize);
    return {LeverWidth(6) + 2 * kMargin, 6 + QFontMetrics(small).height() + 3 * kMargin};
}

void Toggle::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const bool enabled = isEnabled();
    const bool on = isChecked();

    const QFont f = captionFont();
    const QFontMetrics fm(f);
    const int leverH = LeverHeight(height(), fm.height());
    const int leverW = LeverWidth(leverH);
    const QRectF track((width() - leverW) / 2.0, kMargin, leverW, leverH);

    // The track: green when on, grey when off; faded and hatched when locked.
    QColor trackColor = on ? QColor(0x2e, 0x9d, 0x3a) : QColor(0x7a, 0x7a, 0x7a);
    if (!enabled)
        trackColor = Blend(trackColor, pal.color(QPalette::Window), 0.6);
    p.setPen(QPen(pal.color(QPalette::Dark), 1));
    p.setBrush(trackColor);
    p.drawRoundedRect(track, leverH / 2.0, leverH / 2.0);
    if (!enabled) {
        p.setBrush(QBrush(pal.color(QPalette::Disabled, QPalette::WindowText), Qt::BDiagPattern));
        p.drawRoundedRect(track, leverH / 2.0, leverH / 2.0);
    }

    // The knob sits at the left when off, at the right when on.
    const qreal knob = leverH - 2;
    const qreal knobX = on ? track.right() - 1 - knob : track.left() + 1;
    QColor knobColor = enabled ? QColor(Qt::white) : pal.color(QPalette::Disabled, QPalette::Button);
    if (isDown())
        knobColor = knobColor.darker(130);
    p.setPen(QPen(enabled ? QColor(0x30, 0x30, 0x30) : pal.color(QPalette::Disabled, QPalette::WindowText), 1));
    p.setBrush(knobColor);
    p.drawEllipse(QRectF(knobX, track.top() + 1, knob, knob));

    const QRect captionRect(kMargin, kMargin + leverH + kMargin, width() - 2 * kMargin,
                            height() - leverH - 3 * kMargin);
    p.setFont(f);
    p.setPen(pal.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(captionRect, Qt::AlignHCenter | Qt::AlignTop,
               fm.elidedText(text(), Qt::ElideRight, captionRect.width()));

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect();
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
}

namespace {
bool IsEnterKey(const QKeyEvent* event) { return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter; }
}  // namespace

void Toggle::keyPressEvent(QKeyEvent* event)
{
    if (IsEnterKey(event)) {
        if (!event->isAutoRepeat())
            click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void Toggle::keyReleaseEvent(QKeyEvent* event)
{
    if (IsEnterKey(event)) {
        event->accept();  // the press flipped it
        return;
    }
    QAbstractButton::keyReleaseEvent(event);
}
