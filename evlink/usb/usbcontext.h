#pragma once
// The one libusb context of the process, and how devices are named.
#include <libusb.h>

#include <cstdint>
#include <string>
#include <vector>

namespace evlink::usb {

// Made on first use and kept for the life of the process; null when libusb
// cannot start here (no USB on this machine), in which case the next call
// tries again.
libusb_context* Context();

// Where a device sits: its bus and the chain of hub ports to it. A board
// that re-enumerates comes back at the same place with a new address.
struct Place {
    uint8_t bus = 0;
    std::vector<uint8_t> ports;
    bool operator==(const Place&) const = default;
};
Place PlaceOf(libusb_device* device);
// "1-2.4", as the system names USB devices (bus-ports).
std::string PlaceName(const Place& place);

// Why opening failed, in words for the trace.
std::string OpenFailure(int error, const Place& place);

}  // namespace evlink::usb
