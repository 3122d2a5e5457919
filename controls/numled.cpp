#include "numled.h"

#include "controlaccess.h"

#include <QFontDatabase>
#include <QPainter>

namespace {
constexpr int kPad = 3;
constexpr int kDefaultPixelSize = 16;

QFont DigitFont(int pixelSize)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setBold(true);
    f.setPixelSize(qMax(4, pixelSize));
    return f;
}

int CharWidth(const QFont& f) { return QFontMetrics(f).horizontalAdvance(QLatin1Char('8')); }
}  // namespace

NumLED::NumLED(QWidget* parent) : QWidget(parent)
{
    InstallControlAccessibility();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void NumLED::setValue(const QString& text)
{
    if (text == value_)
        return;
    const bool widthChanges = digits_ <= 0 && text.size() != value_.size();
    value_ = text;
    if (widthChanges)
        updateGeometry();
    update();
    AnnounceNumberChange(this);
}

void NumLED::setDigits(int digits)
{
    digits_ = qMax(0, digits);
    updateGeometry();
    update();
}

int NumLED::widthInCharacters() const
{
    return qMax<int>(1, digits_ > 0 ? digits_ : value_.size());
}

QSize NumLED::sizeHint() const
{
    const QFont f = DigitFont(kDefaultPixelSize);
    return {CharWidth(f) * widthInCharacters() + 2 * kPad, QFontMetrics(f).height() + 2 * kPad};
}

QSize NumLED::minimumSizeHint() const
{
    const QFont f = DigitFont(8);
    return {CharWidth(f) * widthInCharacters() + 2 * kPad, QFontMetrics(f).height() + 2 * kPad};
}

void NumLED::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1));
    p.setBrush(QColor(0x12, 0x12, 0x12));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);

    // The largest digit size that fits the face, for the text or the fixed
    // width, whichever is wider.
    const int chars = qMax<int>(widthInCharacters(), value_.size());
    const QRect face = rect().adjusted(kPad, kPad, -kPad, -kPad);
    QFont f = DigitFont(face.height());
    QFontMetrics fm(f);
    while (f.pixelSize() > 4 && (CharWidth(f) * chars > face.width() || fm.height() > face.height() + kPad)) {
        f.setPixelSize(f.pixelSize() - 1);
        fm = QFontMetrics(f);
    }
    p.setFont(f);

    const int align = Qt::AlignRight | Qt::AlignVCenter;
    p.setPen(QColor(0x3c, 0x0c, 0x0c));  // the unlit segments
    p.drawText(face, align, QString(widthInCharacters(), QLatin1Char('8')));
    p.setPen(QColor(0xff, 0x3b, 0x30));
    p.drawText(face, align, value_);
}
