#pragma once
// Accessibility of the outside display controls (toggle, lamp, numeric
// display): one interface each, served by one factory that the controls
// install on first use.
class QWidget;

void InstallControlAccessibility();

// Announces a change of a lamp's state or a display's value.
void AnnounceLampChange(QWidget* lamp);
void AnnounceNumberChange(QWidget* display);
