#include "ui.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QFont ToolFont(double points, bool bold)
{
    QFont f;
    f.setFamilies({"MS Sans Serif", "DejaVu Sans", "Liberation Sans", "Sans Serif"});
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

void ShowAndRaise(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void CenterOnScreen(QWidget* window)
{
    QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    window->adjustSize();
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
