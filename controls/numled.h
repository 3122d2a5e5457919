#pragma once
// A numeric display in the look of a seven-segment readout: bright digits on
// a dark face, unlit "8"s behind them. It shows whatever text it is given
// ("-10.0000", "0", "1"), right-aligned. setDigits fixes the width in
// characters; without it the width follows the text.
//
// Assistive technology sees static text whose name is the owner's accessible
// name followed by the displayed value, and whose value is the displayed text.
#include <QWidget>

class NumLED : public QWidget {
    Q_OBJECT
public:
    explicit NumLED(QWidget* parent = nullptr);

    QString value() const { return value_; }
    void setValue(const QString& text);

    int digits() const { return digits_; }
    void setDigits(int digits);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int widthInCharacters() const;

    QString value_;
    int digits_ = 0;
};
