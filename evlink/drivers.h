#pragma once
// The drivers of this process, in the order the search lists their boards,
// and the one front both C interfaces share.
#include "driver.h"
#include "front.h"

#include <vector>

namespace evlink {

const std::vector<Driver*>& Drivers();

// The front of this process: Drivers() and the trace EVLINK_TRACE names.
Front& ProcessFront();

}  // namespace evlink
