#include "led.h"

#include "controlaccess.h"

#include <QPainter>
#include <QRadialGradient>

LED::LED(QWidget* parent) : QWidget(parent)
{
    InstallControlAccessibility();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LED::setLit(int lit)
{
    const int now = lit != 0 ? 1 : 0;
    if (now == lit_)
        return;
    lit_ = now;
    update();
    AnnounceLampChange(this);
}

QString LED::stateText() const { return lit_ ? QStringLiteral("lit") : QStringLiteral("dark"); }

void LED::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal d = qMin(width(), height()) - 2;
    const QRectF lamp((width() - d) / 2.0, (height() - d) / 2.0, d, d);

    // A lit lamp glows bright red with a highlight; a dark one is a dull
    // red-grey, still clearly a lamp.
    QRadialGradient glow(lamp.center() - QPointF(d / 6, d / 6), d / 1.6);
    if (lit_) {
        glow.setColorAt(0, QColor(0xff, 0xc0, 0xc0));
        glow.setColorAt(0.35, QColor(0xff, 0x20, 0x20));
        glow.setColorAt(1, QColor(0xb0, 0x00, 0x00));
    } else {
        glow.setColorAt(0, QColor(0x80, 0x50, 0x50));
        glow.setColorAt(1, QColor(0x40, 0x20, 0x20));
    }
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1));
    p.setBrush(glow);
    p.drawEllipse(lamp);
}
