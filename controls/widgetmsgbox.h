#pragma once
// The message box as a modal dialog over the active window.
void UseWidgetMessageBoxes();
