#pragma once
// A small round lamp: lit (bright red) or dark. The owner names it for
// assistive technology with setAccessibleName ("OC A"); its state reads as
// "lit" or "dark" (accessible description and value, and the checked state),
// and each change is announced.
#include <QWidget>

class LED : public QWidget {
    Q_OBJECT
public:
    explicit LED(QWidget* parent = nullptr);

    int lit() const { return lit_; }
    void setLit(int lit);  // any nonzero value lights it; stored as 1

    QString stateText() const;  // "lit" or "dark"

    QSize sizeHint() const override { return {16, 16}; }
    QSize minimumSizeHint() const override { return {8, 8}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int lit_ = 0;
};
