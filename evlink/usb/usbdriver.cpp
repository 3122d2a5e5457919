#include "usbdriver.h"

#include "usbboard.h"
#include "usbcontext.h"
#include "usbids.h"

#include <algorithm>
#include <mutex>
#include <tuple>
#include <vector>

namespace evlink {
namespace {

using usb::Place;

class UsbDriverImpl final : public Driver {
public:
    const char* name() const override { return "usb"; }

    int scan() override {
        std::lock_guard lock(mutex_);
        forget();
        ids_ = usb::ConfiguredUsbIds();
        libusb_context* context = usb::Context();
        if (!context) return 0;
        libusb_device** list = nullptr;
        ssize_t count = libusb_get_device_list(context, &list);
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device_descriptor d{};
            if (libusb_get_device_descriptor(list[i], &d) != LIBUSB_SUCCESS) continue;
            const usb::UsbId id{d.idVendor, d.idProduct};
            if (id == ids_.bare || id == ids_.loaded) found_.push_back(libusb_ref_device(list[i]));
        }
        if (list) libusb_free_device_list(list, 1);
        // Numbered by where they are plugged in, not by the order the
        // system happened to list them.
        std::sort(found_.begin(), found_.end(), [](libusb_device* a, libusb_device* b) {
            const Place pa = usb::PlaceOf(a), pb = usb::PlaceOf(b);
            return std::tie(pa.bus, pa.ports) < std::tie(pb.bus, pb.ports);
        });
        return int(found_.size());
    }

    std::unique_ptr<Board> open(int n, std::string& why) override {
        std::lock_guard lock(mutex_);
        if (n < 0 || std::size_t(n) >= found_.size()) {
            why = "no USB board " + std::to_string(n) + " (the last search found " + std::to_string(found_.size()) + ")";
            return nullptr;
        }
        libusb_device* device = found_[std::size_t(n)];
        libusb_device_handle* handle = nullptr;
        const Place place = usb::PlaceOf(device);
        if (int r = libusb_open(device, &handle); r != LIBUSB_SUCCESS) {
            why = usb::OpenFailure(r, place);
            return nullptr;
        }
        return std::make_unique<usb::UsbBoard>(handle, place, libusb_get_device_address(device), ids_);
    }

private:
    void forget() {
        for (libusb_device* d : found_) libusb_unref_device(d);
        found_.clear();
    }

    std::mutex mutex_;
    std::vector<libusb_device*> found_;
    usb::UsbIds ids_;
};

}  // namespace

Driver& UsbDriver() {
    // Never destroyed: the fronts may still hold boards at exit.
    static auto* driver = new UsbDriverImpl;
    return *driver;
}

}  // namespace evlink
