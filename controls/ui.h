#pragma once
// Small helpers shared by the three windows.
#include "runtime/guard.h"

#include <QFont>
#include <QString>

class QWidget;

// The windows' typeface, with the usual substitutes where it is not installed.
QFont ToolFont(double points, bool bold = false);

// Creates a child widget with its object name (the control's name) and its
// accessible name (empty: the widget's own text names it).
template <class W>
W* MakeControl(QWidget* parent, const char* name, const QString& accessibleName)
{
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setAccessibleName(accessibleName);
    return w;
}

// Moves a top-level window to the middle of its screen.
void CenterOnScreen(QWidget* window);

// Shows a top-level window, not modal, in front and active.
void ShowAndRaise(QWidget* window);

// The windows are created on first use and kept until the program ends; a
// window that is not loaded (never yet, or closed since) runs Form_Load first.
template <class Form, class Make>
Form& OpenKept(Form*& instance, Make make)
{
    if (instance == nullptr)
        instance = make();
    if (!instance->Loaded())
        instance->Form_Load();
    ShowAndRaise(instance);
    return *instance;
}

// Runs `handler` at a Qt entry point, guarded: no exception crosses the event loop.
#define QV_SLOT(handler) [this] { Guarded([this] { handler(); }); }
