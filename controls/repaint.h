#pragma once
// Painting a label at once, as a loop that runs without the event loop does.
#include <QString>

class QLabel;

// Sets the label's caption and paints it at once. Unlike a plain setText and
// repaint, it queues no update for later, so that the event loop is not woken
// for nothing: on a loop that paints at every step, that wake-up (two system
// calls) cost more than the painting.
void SetCaptionAndRepaint(QLabel& label, const QString& text);
