#pragma once
// A board's USB microcontroller emulated in-process for libusb: umockdev's
// testbed holds the device in sysfs and /dev, and an ioctl handler answers
// the usbfs calls libusb makes (URB submit, reap, discard). Without firmware
// the microcontroller answers only the RAM-load request; after its CPU is
// released it drops off the bus and comes back with the firmware's product
// identifier and a new address, as the real part does.
#include "usbids.h"

#include <umockdev.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fake {

// True when this process runs under umockdev's preload library.
inline bool MockEnvironment() { return umockdev_in_mock_environment(); }

struct Transfer {
    uint8_t requestType = 0, request = 0;
    uint16_t value = 0, index = 0, length = 0;
    std::vector<uint8_t> data;  // what went to the board, or what it answered
    bool operator==(const Transfer&) const = default;
};

struct BoardSetup {
    uint16_t vid = evlink::usb::kBareBoardId.vendor;
    // The product identifier before the firmware runs, and once it runs.
    uint16_t pidBare = evlink::usb::kBareBoardId.product, pidLoaded = evlink::usb::kLoadedBoardId.product;
    int port = 1;  // bus 1, this port of the root hub
    bool firmwareRunning = false;
    int comeBackAfterMs = 150;   // off the bus this long after the CPU is released
    bool firmwareStarts = true;  // false: comes back without firmware (pidBare)
};

// What becomes of the next request.
enum class Next { Answer, AnswerShort, NoAnswer, Unplug };

class Board {
public:
    Board(UMockdevTestbed* bed, const BoardSetup& setup);
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Every control transfer the board has seen, in order.
    std::vector<Transfer> log() { std::lock_guard lock(mutex_); return log_; }
    // The bytes the firmware answers to each IN vendor request (repeated as needed).
    void setReply(std::vector<uint8_t> bytes) { std::lock_guard lock(mutex_); reply_ = std::move(bytes); }
    // AnswerShort: one byte less than asked. NoAnswer: taken but never
    // answered until cancelled. Unplug: pulled out while it is in flight.
    void setNext(Next next) { std::lock_guard lock(mutex_); next_ = next; }

    bool handleIoctl(UMockdevIoctlClient* client);  // umockdev's handler thread

private:
    struct Urb {
        UMockdevIoctlData* data = nullptr;  // holds a reference
        bool held = false;                  // not reapable until discarded
        int status = 0;
        std::vector<uint8_t> reply;
        int actual = 0;
    };
    void plug(bool running);
    void unplug();
    void reenumerate();
    Urb answer(const uint8_t* setup, const uint8_t* out, Transfer& t);

    UMockdevTestbed* bed_;
    BoardSetup setup_;
    std::mutex mutex_;
    std::condition_variable closing_;
    std::vector<std::pair<std::string, UMockdevIoctlBase*>> handlers_;  // one per address used
    std::vector<Transfer> log_;
    std::vector<Urb> flying_;
    std::vector<uint8_t> reply_;
    Next next_ = Next::Answer;
    std::string syspath_;
    int address_ = 0;
    bool present_ = false, running_ = false, held_ = false, closed_ = false;
    std::vector<std::thread> renumber_;
};

}  // namespace fake
