#include "pickbox.h"

#include <QKeyEvent>
#include <QTimer>
#include <QWheelEvent>

PickBox::PickBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // The box also reports as activated an entry whose name was typed when the
    // text is left; only the user's picks count.
    connect(this, &QComboBox::activated, this, [this] {
        if (picking_)
            emit Click();
    });
}

void PickBox::hidePopup()
{
    // The list closes first and then reports the entry chosen in it.
    picking_ = true;
    QComboBox::hidePopup();
    QTimer::singleShot(0, this, [this] { picking_ = false; });
}

void PickBox::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        picking_ = true;
        QComboBox::keyPressEvent(event);
        picking_ = false;
        return;
    default:
        QComboBox::keyPressEvent(event);
    }
}

void PickBox::wheelEvent(QWheelEvent* event) { event->ignore(); }
