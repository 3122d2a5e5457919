#include "fakeboard.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace fake {
namespace {

constexpr uint8_t kRamLoad = 0xA0;
constexpr uint16_t kCpuControl = 0xE600;
constexpr int kSetupBytes = 8;

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<Board*>(self)->handleIoctl(client) ? TRUE : FALSE;
}

// Device addresses are never reused within a process, so that the device
// nodes of boards plugged one after another never clash.
int NextAddress() {
    static std::atomic<int> next{1};
    return next++;
}

std::string Node(int address) {
    char path[64];
    std::snprintf(path, sizeof path, "/dev/bus/usb/001/%03d", address);
    return path;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string s;
    char b[3];
    for (uint8_t v : bytes) {
        std::snprintf(b, sizeof b, "%02x", v);
        s += b;
    }
    return s;
}

// Device descriptor, then one configuration with one vendor interface and no
// endpoints besides the control endpoint.
std::vector<uint8_t> Descriptors(uint16_t vid, uint16_t pid) {
    return {0x12, 0x01, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0x40,
            uint8_t(vid), uint8_t(vid >> 8), uint8_t(pid), uint8_t(pid >> 8),
            0x01, 0x00, 0x00, 0x00, 0x00, 0x01,
            0x09, 0x02, 0x12, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,
            0x09, 0x04, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00};
}

}  // namespace

bool MockEnvironment() { return umockdev_in_mock_environment(); }

Board::Board(UMockdevTestbed* bed, const BoardSetup& setup) : bed_(bed), setup_(setup) {
    std::unique_lock lock(mutex_);
    address_ = NextAddress();
    plug(setup.firmwareRunning);
}

Board::~Board() {
    {
        std::unique_lock lock(mutex_);
        setup_.comeBack = false;
    }
    changed_.notify_all();
    for (std::thread& t : renumber_) t.join();
    std::unique_lock lock(mutex_);
    if (present_) removeLocked(lock);
    for (auto& [node, handler] : handlers_) {
        umockdev_testbed_detach_ioctl(bed_, node.c_str(), nullptr);
        g_object_unref(handler);
    }
    for (Urb& u : flying_) umockdev_ioctl_data_unref(u.data);
}

void Board::plug(bool running) {
    running_ = running;
    held_ = false;
    uint16_t pid = running ? setup_.pidLoaded : setup_.pidBare;
    UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(OnIoctl), this);
    handlers_.emplace_back(Node(address_), handler);
    // The handler is attached before the device appears, so that opening it
    // works as soon as it can be seen.
    umockdev_testbed_attach_ioctl(bed_, Node(address_).c_str(), handler, nullptr);

    char text[1024];
    std::snprintf(text, sizeof text,
                  "P: /devices/usb1/1-%d\n"
                  "N: bus/usb/001/%03d\n"
                  "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n"
                  "E: BUSNUM=001\nE: DEVNUM=%03d\nE: DEVNAME=%s\n"
                  "A: busnum=1\\n\nA: devnum=%d\\n\nA: speed=480\\n\n"
                  "A: bConfigurationValue=1\\n\n"
                  "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n"
                  "H: descriptors=%s\n",
                  setup_.port, address_, address_, Node(address_).c_str(), address_, setup_.vid, pid,
                  Hex(Descriptors(setup_.vid, pid)).c_str());
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(bed_, text, &error)) {
        std::fprintf(stderr, "fake board: cannot add the device: %s\n", error ? error->message : "?");
        g_clear_error(&error);
        return;
    }
    char sys[64];
    std::snprintf(sys, sizeof sys, "/sys/devices/usb1/1-%d", setup_.port);
    syspath_ = sys;
    present_ = true;
    changed_.notify_all();
}

void Board::removeLocked(std::unique_lock<std::mutex>&) {
    present_ = false;
    umockdev_testbed_uevent(bed_, syspath_.c_str(), "remove");
    umockdev_testbed_remove_device(bed_, syspath_.c_str());
    changed_.notify_all();
}

void Board::reenumerate() {
    std::unique_lock lock(mutex_);
    // The part lets go of the bus a moment after its CPU starts.
    changed_.wait_for(lock, std::chrono::milliseconds(5));
    removeLocked(lock);
    changed_.wait_for(lock, std::chrono::milliseconds(setup_.comeBackAfterMs), [this] { return !setup_.comeBack; });
    if (!setup_.comeBack) return;
    address_ = NextAddress();
    plug(setup_.firmwareStarts);
}

std::vector<Transfer> Board::log() {
    std::unique_lock lock(mutex_);
    return log_;
}

void Board::clearLog() {
    std::unique_lock lock(mutex_);
    log_.clear();
}

void Board::setReply(std::vector<uint8_t> bytes) {
    std::unique_lock lock(mutex_);
    reply_ = std::move(bytes);
    replyPos_ = 0;
}

void Board::limitReplies(int bytes) {
    std::unique_lock lock(mutex_);
    replyLimit_ = bytes;
}

void Board::ignoreNext() {
    std::unique_lock lock(mutex_);
    ignoreNext_ = true;
}

void Board::unplugDuring(int nth) {
    std::unique_lock lock(mutex_);
    unplugCountdown_ = nth;
}

std::string Board::nodeFile() {
    std::unique_lock lock(mutex_);
    gchar* root = umockdev_testbed_get_root_dir(bed_);
    std::string file = std::string(root) + Node(address_);
    g_free(root);
    return file;
}

int Board::address() {
    std::unique_lock lock(mutex_);
    return address_;
}

bool Board::running() {
    std::unique_lock lock(mutex_);
    return running_;
}

// One control transfer as the microcontroller answers it: the silicon takes
// the RAM-load request (and the CPU control register through it); the other
// requests reach the firmware, which answers only while its CPU runs.
Board::Urb Board::answer(const uint8_t* setup, const uint8_t* out, int outLength, Transfer& record) {
    record.requestType = setup[0];
    record.request = setup[1];
    record.value = uint16_t(setup[2] | setup[3] << 8);
    record.index = uint16_t(setup[4] | setup[5] << 8);
    record.length = uint16_t(setup[6] | setup[7] << 8);
    const bool in = setup[0] & 0x80;
    Urb u;
    if ((setup[0] & 0x7F) != 0x40) {
        u.status = -EPIPE;
        return u;
    }
    if (record.request == kRamLoad) {
        if (in) {
            for (int i = 0; i < record.length; ++i) u.reply.push_back(ram_[(record.value + i) & 0xFFFF]);
        } else {
            record.data.assign(out, out + outLength);
            for (int i = 0; i < outLength; ++i) ram_[(record.value + i) & 0xFFFF] = out[i];
            if (record.value == kCpuControl && outLength == 1) {
                bool hold = out[0] & 1;
                if (held_ && !hold) {
                    // The CPU starts: the part drops off the bus before the
                    // status stage completes.
                    u.status = -EPROTO;
                    renumber_.emplace_back([this] { reenumerate(); });
                }
                held_ = hold;
                if (hold) running_ = false;
            }
        }
    } else if (!running_ || held_) {
        u.status = -EPIPE;
        return u;
    } else if (in) {
        const int n = replyLimit_ >= 0 ? std::min<int>(replyLimit_, record.length) : record.length;
        for (int i = 0; i < n; ++i) {
            u.reply.push_back(reply_.empty() ? 0 : reply_[replyPos_++ % reply_.size()]);
        }
    } else {
        record.data.assign(out, out + outLength);
    }
    if (in) record.data = u.reply;
    u.actual = int(in ? u.reply.size() : size_t(outLength));
    return u;
}

bool Board::handleIoctl(UMockdevIoctlClient* client) {
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::unique_lock lock(mutex_);
    const bool current = present_ && Node(address_) == umockdev_ioctl_client_get_devnode(client);

    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
        *reinterpret_cast<guint32*>(caps->data) = USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        umockdev_ioctl_data_unref(caps);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_RESETEP:
    case USBDEVFS_CLEAR_HALT:
        if (current) umockdev_ioctl_client_complete(client, 0, 0);
        else umockdev_ioctl_client_complete(client, -1, ENODEV);
        return true;

    case USBDEVFS_SUBMITURB: {
        if (!current) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return true;
        }
        UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
        if (urb->type != USBDEVFS_URB_TYPE_CONTROL || urb->buffer_length < kSetupBytes) {
            umockdev_ioctl_data_unref(urbData);
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return true;
        }
        UMockdevIoctlData* buffer =
            umockdev_ioctl_data_resolve(urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer), urb->buffer_length, nullptr);
        Transfer record;
        const int outLength = (buffer->data[0] & 0x80) ? 0 : urb->buffer_length - kSetupBytes;
        Urb u = answer(buffer->data, buffer->data + kSetupBytes, outLength, record);
        umockdev_ioctl_data_unref(buffer);
        log_.push_back(record);
        u.data = urbData;
        if (unplugCountdown_ > 0 && --unplugCountdown_ == 0) {
            // Pulled out with this transfer in flight: the kernel kills it.
            u = Urb{urbData, false, -ESHUTDOWN, 0, {}};
            removeLocked(lock);
        }
        u.held = ignoreNext_;
        ignoreNext_ = false;
        flying_.push_back(u);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
        auto ready = std::find_if(flying_.begin(), flying_.end(), [](const Urb& u) { return !u.held; });
        if (ready == flying_.end()) {
            umockdev_ioctl_client_complete(client, -1, current ? EAGAIN : ENODEV);
            return true;
        }
        Urb u = *ready;
        flying_.erase(ready);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(u.data->data);
        urb->status = u.status;
        urb->actual_length = u.actual;
        if (!u.reply.empty()) {
            std::memcpy(static_cast<uint8_t*>(urb->buffer) + kSetupBytes, u.reply.data(),
                        std::min<size_t>(u.reply.size(), size_t(urb->buffer_length - kSetupBytes)));
        }
        UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
        umockdev_ioctl_data_set_ptr(slot, 0, u.data);
        umockdev_ioctl_data_unref(slot);
        umockdev_ioctl_data_unref(u.data);
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    }
    case USBDEVFS_DISCARDURB: {
        const gulong target = *reinterpret_cast<gulong*>(arg->data);
        for (Urb& u : flying_) {
            if (u.data->client_addr == target) {
                u.held = false;
                u.status = -ENOENT;
                u.actual = 0;
                u.reply.clear();
                umockdev_ioctl_client_complete(client, 0, 0);
                return true;
            }
        }
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return true;
    }
    default:
        std::fprintf(stderr, "fake board: unexpected ioctl 0x%lx\n", request);
        return false;
    }
}

}  // namespace fake
