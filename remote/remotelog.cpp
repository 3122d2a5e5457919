#include "remotelog.h"

Q_LOGGING_CATEGORY(lcRemote, "qv4816x.remote", QtWarningMsg)

namespace remote {
void LogVerbosely() { QLoggingCategory::setFilterRules("qv4816x.remote.info=true"); }
}  // namespace remote
