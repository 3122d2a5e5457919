#include "repaint.h"

#include <QLabel>

void SetCaptionAndRepaint(QLabel& label, const QString& text)
{
    // setText asks for an update, which the repaint that follows makes
    // needless. Qt offers no way to change a caption without it, so the
    // label takes no updates for that moment only; the flag is put back
    // directly, since the regular way back (setUpdatesEnabled) asks for an
    // update again.
    const bool wasOff = label.testAttribute(Qt::WA_UpdatesDisabled);
    label.setAttribute(Qt::WA_UpdatesDisabled, true);
    label.setText(text);
    label.setAttribute(Qt::WA_UpdatesDisabled, wasOff);
    label.repaint();
}
