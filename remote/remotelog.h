#pragma once
// The server's log: every connection, disconnection and refused command, on
// standard error through the logging category "qv4816x.remote". Quiet by
// default; --verbose or QT_LOGGING_RULES="qv4816x.remote.info=true" turns it on.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcRemote)

namespace remote {
// Turns the log on (--verbose).
void LogVerbosely();
}  // namespace remote
