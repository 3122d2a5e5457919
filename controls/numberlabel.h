#pragma once
// A label that counts fast: a caption of decimal digits is painted straight
// from the font's digit glyphs, without laying the text out anew at every
// paint (shaping a number takes more than half of a label's repaint). Any
// other caption, and any case the short way does not cover, is painted as a
// QLabel paints it; both look the same to the pixel.
#include <QGlyphRun>
#include <QLabel>
#include <QRawFont>

#include <array>

class NumberLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool DigitsOnly() const;
    bool Prepare();

    bool prepared_ = false;
    QRawFont font_;
    std::array<quint32, 10> glyphs_{};
    std::array<qreal, 10> advances_{};
    qreal ascent_ = 0;
    qreal height_ = 0;
    QGlyphRun run_;
};
