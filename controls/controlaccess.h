#pragma once
// Accessibility of the outside display controls (toggle, lamp, numeric
// display): one interface each, served by one factory that the controls
// install on first use.
class QLabel;
class QString;
class QWidget;

void InstallControlAccessibility();

// Announces a change of a lamp's state or a display's value.
void AnnounceLampChange(QWidget* lamp);
void AnnounceNumberChange(QWidget* display);

// A label that shows a value (a read-back): assistive technology hears static
// text named `what` followed by the label's text, renamed with every change.
void ShowsValue(QLabel* label, const QString& what);
