#pragma once
// Which board a sweep ran on, as the sweep's companion file keeps it.
#include "analysis/companion.h"

#include <optional>

// The simulated board with its options when the interface library is told
// to use it alone (EVLINK_SIM=only,...); otherwise not known yet: the real
// board's identity is not read by this version. The one place to change when
// it is.
std::optional<analysis::BoardIdentity> SweptBoardIdentity();
