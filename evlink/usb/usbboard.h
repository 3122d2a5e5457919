#pragma once
// One board on USB, opened.
#include "driver.h"
#include "usbcontext.h"
#include "usbids.h"

#include <chrono>
#include <vector>

namespace evlink::usb {

// Every control transfer gives up after this long.
inline constexpr unsigned kTransferTimeoutMs = 1000;

// After the CPU is released the microcontroller drops off the bus and comes
// back with its firmware running: wait a first pause, then look again every
// retry interval until the bound (counted from the release).
struct ReenumerationWait {
    std::chrono::milliseconds firstPause{500};
    std::chrono::milliseconds retry{100};
    std::chrono::milliseconds bound{5000};
};
// The wait in force; tests shorten the bound.
ReenumerationWait& Reenumeration();

class UsbBoard final : public Board {
public:
    UsbBoard(libusb_device_handle* handle, const Place& place, uint8_t address, const UsbIds& ids);
    ~UsbBoard() override;

    bool loadFirmware(const std::string& path, std::string& why) override;
    Status vendorRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t direction, uint16_t length,
                         uint8_t* buffer) override;
    std::string identity() const override;

private:
    int control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                uint16_t length);
    int ramLoad(uint16_t address, const uint8_t* bytes, std::size_t count);
    bool waitForFirmware(std::string& why);

    libusb_device_handle* handle_;
    Place place_;
    uint8_t address_;
    UsbIds ids_;
    std::vector<uint8_t> scratch_;
};

}  // namespace evlink::usb
