#include "processstart.h"

#include <csignal>

void PrepareProcess() { std::signal(SIGXFSZ, SIG_IGN); }
