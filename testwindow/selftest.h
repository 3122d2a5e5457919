#pragma once
// The self-test's pass windows (board/selftestlimits.h) and its pause.
#include "board/selftestlimits.h"

namespace selftest {

// Sleeps, without running events or spinning, until more than `seconds` have
// passed on the monotonic clock.
void WaitMoreThan(double seconds);

}  // namespace selftest
