#include "usbboard.h"

#include "hexfile.h"
#include "ramload.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace evlink::usb {
namespace {

// bmRequestType: vendor request to the device, each direction.
constexpr uint8_t kVendorOut = uint8_t(LIBUSB_REQUEST_TYPE_VENDOR) | uint8_t(LIBUSB_RECIPIENT_DEVICE) | uint8_t(LIBUSB_ENDPOINT_OUT);
constexpr uint8_t kVendorIn = uint8_t(LIBUSB_REQUEST_TYPE_VENDOR) | uint8_t(LIBUSB_RECIPIENT_DEVICE) | uint8_t(LIBUSB_ENDPOINT_IN);

Status Failure(int code) { return Status{code, libusb_error_name(code)}; }

std::string Hex4(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%04X", v & 0xFFFF);
    return b;
}

// A device at `place` with the identifiers the firmware enumerates with. The
// same address as before the release is taken only when nothing else turns
// up: firmware that keeps the bare identifiers may not re-enumerate at all.
libusb_device* FindReturned(libusb_device** list, ssize_t count, const Place& place, const UsbId& id,
                            uint8_t oldAddress, bool acceptOld) {
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) != LIBUSB_SUCCESS) continue;
        if (d.idVendor != id.vendor || d.idProduct != id.product) continue;
        if (PlaceOf(list[i]) != place) continue;
        if (libusb_get_device_address(list[i]) == oldAddress && !acceptOld) continue;
        return list[i];
    }
    return nullptr;
}

}  // namespace

ReenumerationWait& Reenumeration() {
    static ReenumerationWait wait;
    return wait;
}

std::string UsbBoard::identity() const
{
    // The serial number from the device descriptor, 0 when it has none.
    std::string serial = "0";
    libusb_device_descriptor d{};
    if (handle_ != nullptr && libusb_get_device_descriptor(libusb_get_device(handle_), &d) == LIBUSB_SUCCESS &&
        d.iSerialNumber != 0) {
        unsigned char text[128] = {};
        const int n = libusb_get_string_descriptor_ascii(handle_, d.iSerialNumber, text, sizeof text);
        if (n > 0) {
            serial.assign(reinterpret_cast<const char*>(text), static_cast<std::size_t>(n));
            for (char& c : serial)
                if (c == ',' || c == ';' || c == '"' || static_cast<unsigned char>(c) < 0x20)
                    c = '_';  // one field of a comma-separated answer
        }
    }
    return "USB," + PlaceName(place_) + "," + serial;
}

UsbBoard::UsbBoard(libusb_device_handle* handle, const Place& place, uint8_t address, const UsbIds& ids)
    : handle_(handle), place_(place), address_(address), ids_(ids) {}

UsbBoard::~UsbBoard() {
    if (handle_) libusb_close(handle_);
}

int UsbBoard::control(uint8_t requestType, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                      uint16_t length) {
    if (!handle_) return LIBUSB_ERROR_NO_DEVICE;
    return libusb_control_transfer(handle_, requestType, request, value, index, data, length, kTransferTimeoutMs);
}

int UsbBoard::ramLoad(uint16_t address, const uint8_t* bytes, std::size_t count) {
    scratch_.assign(bytes, bytes + count);
    int r = control(kVendorOut, kRamLoadRequest, address, 0, scratch_.data(), uint16_t(count));
    if (r >= 0 && std::size_t(r) != count) return LIBUSB_ERROR_IO;
    return r < 0 ? r : 0;
}

Status UsbBoard::vendorRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t direction, uint16_t length,
                               uint8_t* buffer) {
    if (direction > 1 || (length > 0 && !buffer)) return Failure(LIBUSB_ERROR_INVALID_PARAM);
    const bool in = direction == 1;
    // The transfer goes through a buffer of our own, so that a failed or
    // short read leaves the caller's bytes as they were.
    scratch_.assign(length, 0);
    if (!in && length > 0) std::copy(buffer, buffer + length, scratch_.begin());
    int r = control(in ? kVendorIn : kVendorOut, request, value, index, scratch_.data(), length);
    if (r < 0) return Failure(r);
    if (r != length) return Status{LIBUSB_ERROR_IO, in ? "SHORT_READ" : "SHORT_WRITE"};
    if (in && length > 0) std::copy(scratch_.begin(), scratch_.end(), buffer);
    return Status{};
}

bool UsbBoard::loadFirmware(const std::string& path, std::string& why) {
    const HexImage image = ReadHexFile(path);
    if (!image.ok) {
        why = "cannot use firmware file " + path + ": " + image.error;
        return false;
    }
    if (IsSimulatedBoardFirmware(image)) {
        why = path + " is the simulated board's firmware and cannot run on a real board: "
                     "put the board maker's firmware file there";
        return false;
    }
    const RamLoad load = PlanRamLoad(image);
    if (!load.ok) {
        why = "cannot use firmware file " + path + ": " + load.error;
        return false;
    }
    if (!handle_) {
        why = "the board on USB " + PlaceName(place_) + " is no longer open";
        return false;
    }

    const uint8_t hold = kCpuHold;
    if (int r = ramLoad(kCpuControlAddress, &hold, 1); r < 0) {
        why = std::string("cannot hold the board's CPU in reset: ") + libusb_error_name(r);
        return false;
    }
    for (const RamChunk& chunk : load.chunks) {
        if (int r = ramLoad(chunk.address, chunk.bytes.data(), chunk.bytes.size()); r < 0) {
            why = "writing firmware at " + Hex4(chunk.address) + " failed: " + libusb_error_name(r);
            return false;
        }
    }
    // Starting the CPU usually fails at the status stage, because the part
    // leaves the bus as its firmware starts: what counts is that it comes back.
    const uint8_t run = kCpuRun;
    const int released = ramLoad(kCpuControlAddress, &run, 1);
    if (!waitForFirmware(why)) {
        if (released < 0) why += std::string(" (starting the CPU gave ") + libusb_error_name(released) + ")";
        return false;
    }
    return true;
}

bool UsbBoard::waitForFirmware(std::string& why) {
    using Clock = std::chrono::steady_clock;
    const ReenumerationWait wait = Reenumeration();
    const auto deadline = Clock::now() + wait.bound;
    libusb_close(handle_);
    handle_ = nullptr;
    const bool sameIds = ids_.bare == ids_.loaded;
    std::this_thread::sleep_for(wait.firstPause);
    libusb_context* context = Context();
    for (;;) {
        const bool last = Clock::now() >= deadline;
        libusb_device** list = nullptr;
        ssize_t count = context ? libusb_get_device_list(context, &list) : 0;
        libusb_device* device = FindReturned(list, count, place_, ids_.loaded, address_, last && sameIds);
        int r = LIBUSB_ERROR_NOT_FOUND;
        if (device) {
            r = libusb_open(device, &handle_);
            if (r == LIBUSB_SUCCESS) address_ = libusb_get_device_address(device);
        }
        if (list) libusb_free_device_list(list, 1);
        if (r == LIBUSB_SUCCESS) return true;
        if (r == LIBUSB_ERROR_ACCESS) {
            handle_ = nullptr;
            why = OpenFailure(r, place_);
            return false;
        }
        handle_ = nullptr;
        if (last) break;
        std::this_thread::sleep_for(std::min<Clock::duration>(wait.retry, deadline - Clock::now()));
    }
    char id[16];
    std::snprintf(id, sizeof id, "%04X:%04X", ids_.loaded.vendor, ids_.loaded.product);
    why = "the board on USB " + PlaceName(place_) + " did not come back as " + id + " with its firmware within " +
          std::to_string(wait.bound.count()) + " ms";
    return false;
}

}  // namespace evlink::usb
