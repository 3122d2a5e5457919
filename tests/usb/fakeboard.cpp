#include "fakeboard.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

namespace fake {
namespace {

constexpr uint8_t kRamLoad = 0xA0;
constexpr uint16_t kCpuControl = 0xE600;
constexpr int kSetupBytes = 8;

std::string Node(int address) {
    char path[32];
    std::snprintf(path, sizeof path, "/dev/bus/usb/001/%03d", address);
    return path;
}

}  // namespace

Board::Board(UMockdevTestbed* bed, const BoardSetup& setup) : bed_(bed), setup_(setup) {
    std::lock_guard lock(mutex_);
    plug(setup.firmwareRunning);
}

Board::~Board() {
    std::unique_lock lock(mutex_);
    closed_ = true;
    lock.unlock();
    closing_.notify_all();
    for (std::thread& t : renumber_) t.join();
    lock.lock();
    if (present_) unplug();
    for (auto& [node, handler] : handlers_) {
        umockdev_testbed_detach_ioctl(bed_, node.c_str(), nullptr);
        g_object_unref(handler);
    }
    for (Urb& u : flying_) umockdev_ioctl_data_unref(u.data);
}

void Board::plug(bool running) {
    // Addresses are never reused within a process, so that the device nodes
    // of boards plugged one after another never clash.
    static std::atomic<int> nextAddress{1};
    address_ = nextAddress++;
    running_ = running;
    held_ = false;
    const unsigned vid = setup_.vid, pid = running ? setup_.pidLoaded : setup_.pidBare;
    UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
    auto onIoctl = [](UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) -> gboolean {
        return static_cast<Board*>(self)->handleIoctl(client);
    };
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(+onIoctl), this);
    handlers_.emplace_back(Node(address_), handler);
    // Attached before the device appears, so that it opens as soon as it can be seen.
    umockdev_testbed_attach_ioctl(bed_, Node(address_).c_str(), handler, nullptr);
    // The device descriptor, then one configuration with one vendor interface
    // and no endpoints besides the control endpoint.
    char text[1024];
    std::snprintf(text, sizeof text,
                  "P: /devices/usb1/1-%d\nN: bus/usb/001/%03d\n"
                  "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=%03d\n"
                  "E: DEVNAME=%s\nA: busnum=1\\n\nA: devnum=%d\\n\nA: speed=480\\n\nA: bConfigurationValue=1\\n\n"
                  "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n"
                  "H: descriptors=12010002ffffff40%02x%02x%02x%02x010000000001"
                  "0902120001010080320904000000ffffff00\n",
                  setup_.port, address_, address_, Node(address_).c_str(), address_, vid, pid, vid & 0xFF, vid >> 8,
                  pid & 0xFF, pid >> 8);
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(bed_, text, &error))
        g_error("fake board: cannot add the device: %s", error->message);
    syspath_ = "/sys/devices/usb1/1-" + std::to_string(setup_.port);
    present_ = true;
}

void Board::unplug() {
    present_ = false;
    umockdev_testbed_uevent(bed_, syspath_.c_str(), "remove");
    umockdev_testbed_remove_device(bed_, syspath_.c_str());
}

void Board::reenumerate() {
    std::unique_lock lock(mutex_);
    // The part lets go of the bus a moment after its CPU starts.
    closing_.wait_for(lock, std::chrono::milliseconds(5));
    unplug();
    if (!closing_.wait_for(lock, std::chrono::milliseconds(setup_.comeBackAfterMs), [this] { return closed_; }))
        plug(setup_.firmwareStarts);
}

// One control transfer as the microcontroller answers it: the silicon takes
// the RAM-load request (and the CPU control register through it); the other
// requests reach the firmware, which answers only while its CPU runs.
Board::Urb Board::answer(const uint8_t* setup, const uint8_t* out, Transfer& t) {
    t = {setup[0], setup[1], uint16_t(setup[2] | setup[3] << 8), uint16_t(setup[4] | setup[5] << 8),
         uint16_t(setup[6] | setup[7] << 8), {}};
    const bool in = setup[0] & 0x80, ramLoad = t.request == kRamLoad;
    Urb u;
    if ((setup[0] & 0x7F) != 0x40 || (ramLoad ? in : !running_ || held_)) {
        u.status = -EPIPE;
        return u;
    }
    if (in) {
        for (int i = 0; i < t.length - (next_ == Next::AnswerShort); ++i)
            u.reply.push_back(reply_.empty() ? 0 : reply_[i % reply_.size()]);
        t.data = u.reply;
    } else {
        t.data.assign(out, out + t.length);
    }
    u.actual = int(t.data.size());
    if (ramLoad && t.value == kCpuControl && t.length == 1) {
        const bool hold = out[0] & 1;
        if (held_ && !hold) {
            // The CPU starts: the part drops off the bus before the status stage completes.
            u.status = -EPROTO;
            renumber_.emplace_back([this] { reenumerate(); });
        }
        held_ = hold;
        running_ = running_ && !hold;
    }
    return u;
}

bool Board::handleIoctl(UMockdevIoctlClient* client) {
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::unique_lock lock(mutex_);
    const bool current = present_ && Node(address_) == umockdev_ioctl_client_get_devnode(client);
    int error = 0;
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
        *reinterpret_cast<guint32*>(caps->data) = USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        umockdev_ioctl_data_unref(caps);
        break;
    }
    case USBDEVFS_SUBMITURB: {
        UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        if (!current || urb->type != USBDEVFS_URB_TYPE_CONTROL || urb->buffer_length < kSetupBytes) {
            umockdev_ioctl_data_unref(urbData);
            error = current ? EINVAL : ENODEV;
            break;
        }
        UMockdevIoctlData* buffer =
            umockdev_ioctl_data_resolve(urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer), urb->buffer_length, nullptr);
        Transfer t;
        Urb u = answer(buffer->data, buffer->data + kSetupBytes, t);
        umockdev_ioctl_data_unref(buffer);
        log_.push_back(t);
        u.data = urbData;
        u.held = next_ == Next::NoAnswer;
        if (next_ == Next::Unplug) {
            // Pulled out with this transfer in flight: the kernel kills it.
            u = Urb{urbData, false, -ESHUTDOWN, {}, 0};
            unplug();
        }
        next_ = Next::Answer;
        flying_.push_back(u);
        break;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
        auto ready = std::find_if(flying_.begin(), flying_.end(), [](const Urb& u) { return !u.held; });
        if (ready == flying_.end()) {
            error = current ? EAGAIN : ENODEV;
            break;
        }
        Urb u = *ready;
        flying_.erase(ready);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(u.data->data);
        urb->status = u.status;
        urb->actual_length = u.actual;
        std::copy_n(u.reply.begin(), std::min<size_t>(u.reply.size(), size_t(urb->buffer_length - kSetupBytes)),
                    static_cast<uint8_t*>(urb->buffer) + kSetupBytes);
        UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
        umockdev_ioctl_data_set_ptr(slot, 0, u.data);
        umockdev_ioctl_data_unref(slot);
        umockdev_ioctl_data_unref(u.data);
        break;
    }
    case USBDEVFS_DISCARDURB: {
        const gulong target = *reinterpret_cast<gulong*>(arg->data);
        auto it = std::find_if(flying_.begin(), flying_.end(), [&](const Urb& u) { return u.data->client_addr == target; });
        if (it != flying_.end())
            *it = Urb{it->data, false, -ENOENT, {}, 0};
        else
            error = EINVAL;
        break;
    }
    default:
        std::fprintf(stderr, "fake board: unexpected ioctl 0x%lx\n", request);
        return false;
    }
    umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
    return true;
}

}  // namespace fake
