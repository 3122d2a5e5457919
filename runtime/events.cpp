#include "events.h"

#include <QCoreApplication>

void DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }
