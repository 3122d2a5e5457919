#include "numberlabel.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>

namespace {
constexpr qsizetype kMostDigits = 10;
}

bool NumberLabel::DigitsOnly() const
{
    const QString& t = text();
    if (t.isEmpty() || t.size() > kMostDigits)
        return false;
    for (const QChar c : t)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

bool NumberLabel::Prepare()
{
    if (prepared_)
        return true;
    font_ = QRawFont::fromFont(font());
    const QList<quint32> glyphs = font_.glyphIndexesForString("0123456789");
    if (!font_.isValid() || glyphs.size() != 10 || glyphs.contains(0u))
        return false;
    const QList<QPointF> advances = font_.advancesForGlyphIndexes(glyphs);
    for (int d = 0; d < 10; ++d) {
        glyphs_[static_cast<size_t>(d)] = glyphs[d];
        advances_[static_cast<size_t>(d)] = advances[d].x();
    }
    // The line a QLabel's text layout gives a single line of digits, its
    // height unrounded, as the layout centres it.
    QTextLayout layout("0", font(), this);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    ascent_ = line.ascent();
    height_ = line.ascent() + line.descent();
    run_.setRawFont(font_);
    prepared_ = true;
    return true;
}

void NumberLabel::paintEvent(QPaintEvent* event)
{
    // The short way covers a plain, enabled, centred, single-line number on a
    // plain screen; everything else goes the long way.
    if (!DigitsOnly() || !isEnabled() || alignment() != Qt::AlignCenter || wordWrap() ||
        textFormat() == Qt::RichText || layoutDirection() != Qt::LeftToRight || devicePixelRatioF() != 1.0 ||
        !Prepare()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    QRectF r = contentsRect();
    r.adjust(margin(), margin(), -margin(), -margin());
    const QString& t = text();
    qreal width = 0;
    for (const QChar c : t)
        width += advances_[static_cast<size_t>(c.unicode() - u'0')];
    // Centred, and clipped when it does not fit, as the text layout does it.
    qreal x = r.x() + (r.width() - width) / 2;
    const qreal top = r.y() + (r.height() - height_) / 2;
    if (!r.contains(QRectF(x, top, width, height_)))
        painter.setClipRect(r, Qt::IntersectClip);
    const qreal y = top + ascent_;
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(t.size());
    positions.reserve(t.size());
    for (const QChar c : t) {
        const auto d = static_cast<size_t>(c.unicode() - u'0');
        glyphs.append(glyphs_[d]);
        positions.append(QPointF(x, y));
        x += advances_[d];
    }
    run_.setGlyphIndexes(glyphs);
    run_.setPositions(positions);
    painter.setPen(QPen(palette().brush(foregroundRole()), painter.pen().widthF()));
    painter.drawGlyphRun(QPointF(0, 0), run_);
}

void NumberLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        prepared_ = false;
    QLabel::changeEvent(event);
}
