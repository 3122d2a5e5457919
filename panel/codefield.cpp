#include "codefield.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <limits>

CodeField::CodeField(QWidget* parent) : QLineEdit(parent)
{
    setMaxLength(std::numeric_limits<int>::max());  // a code field has no length limit
}

void CodeField::mousePressEvent(QMouseEvent* event)
{
    QLineEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        emit Click();
}

void CodeField::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        int16_t key = 13;
        emit KeyPress(key);
        event->accept();
        return;
    }
    const QString text = event->text();
    if (text.size() == 1 && text.at(0).unicode() < 0x8000) {
        int16_t key = static_cast<int16_t>(text.at(0).unicode());
        emit KeyPress(key);
    }
    QLineEdit::keyPressEvent(event);
}
