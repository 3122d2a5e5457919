#pragma once
// A code field: a single-line text box whose every click (also into a field
// that already has the focus) raises Click, and whose key presses raise
// KeyPress with the character code before the text box sees them.
#include <QLineEdit>

class CodeField : public QLineEdit {
    Q_OBJECT
public:
    explicit CodeField(QWidget* parent = nullptr);

signals:
    void Click();
    // The character code by reference; Enter arrives as 13.
    void KeyPress(int16_t& keyAscii);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
