#pragma once
// The boards on USB: a driver that finds the board's microcontroller by its
// vendor and product identifiers, loads its firmware and carries the vendor
// requests as control transfers (libusb-1.0).
#include "driver.h"

namespace evlink {

Driver& UsbDriver();

}  // namespace evlink
