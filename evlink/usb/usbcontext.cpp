#include "usbcontext.h"

#include <mutex>

namespace evlink::usb {

libusb_context* Context() {
    static std::mutex mutex;
    // Deliberately never freed: boards may be closed by static destructors
    // of other parts after this file's would have run.
    static libusb_context* context = nullptr;
    std::lock_guard lock(mutex);
    if (!context && libusb_init(&context) != LIBUSB_SUCCESS) context = nullptr;
    return context;
}

Place PlaceOf(libusb_device* device) {
    Place place;
    place.bus = libusb_get_bus_number(device);
    uint8_t ports[8];
    int n = libusb_get_port_numbers(device, ports, sizeof ports);
    if (n > 0) place.ports.assign(ports, ports + n);
    return place;
}

std::string PlaceName(const Place& place) {
    std::string name = std::to_string(place.bus) + "-";
    if (place.ports.empty()) return name + "0";
    for (std::size_t i = 0; i < place.ports.size(); ++i) {
        if (i) name += '.';
        name += std::to_string(place.ports[i]);
    }
    return name;
}

std::string OpenFailure(int error, const Place& place) {
    if (error == LIBUSB_ERROR_ACCESS) {
        return "permission denied opening USB device " + PlaceName(place) + ": see the udev rules in the README";
    }
    return "cannot open USB device " + PlaceName(place) + ": " + libusb_error_name(error);
}

}  // namespace evlink::usb
