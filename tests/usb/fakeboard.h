#pragma once
// A board's USB microcontroller emulated in-process for libusb: umockdev's
// testbed holds the device in sysfs and /dev, and an ioctl handler answers
// the usbfs calls libusb makes (URB submit, reap, discard). Without firmware
// the microcontroller answers only the RAM-load request; after its CPU is
// released it drops off the bus and comes back with the firmware's product
// identifier and a new address, as the real part does.
#include <umockdev.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fake {

// True when this process runs under umockdev's preload library.
bool MockEnvironment();

struct Transfer {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
    std::vector<uint8_t> data;  // what went to the board, or what it answered
    bool operator==(const Transfer&) const = default;
};

struct BoardSetup {
    uint16_t vid = 0;
    uint16_t pidBare = 0;    // enumerates with this before firmware runs
    uint16_t pidLoaded = 0;  // and with this once it runs
    int port = 1;            // bus 1, this port of the root hub
    bool firmwareRunning = false;
    int comeBackAfterMs = 150;  // re-enumeration delay after the CPU is released
    bool comeBack = true;       // false: stays off the bus after the release
    bool firmwareStarts = true; // false: comes back without firmware (pidBare)
};

class Board {
public:
    Board(UMockdevTestbed* bed, const BoardSetup& setup);
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Every control transfer the board has seen, in order.
    std::vector<Transfer> log();
    void clearLog();
    // The bytes the firmware answers to the next IN vendor requests (cycled).
    void setReply(std::vector<uint8_t> bytes);
    // Answers IN requests with at most this many bytes (-1: as asked).
    void limitReplies(int bytes);
    // The next request is taken but never answered, until it is cancelled.
    void ignoreNext();
    // The request with this number (1 = the next one) is taken but never
    // answered: the board is pulled out while it is in flight.
    void unplugDuring(int nth);
    // The device node's file, to take away the permission to open it.
    std::string nodeFile();
    int address();
    bool running();

    // Called by umockdev's handler thread.
    bool handleIoctl(UMockdevIoctlClient* client);

private:
    struct Urb {
        UMockdevIoctlData* data = nullptr;  // holds a reference
        bool held = false;                  // not reapable until discarded
        int status = 0;
        int actual = 0;
        std::vector<uint8_t> reply;
    };
    void plug(bool running);
    void removeLocked(std::unique_lock<std::mutex>& lock);
    void reenumerate();
    Urb answer(const uint8_t* setup, const uint8_t* out, int outLength, Transfer& record);

    UMockdevTestbed* bed_;
    BoardSetup setup_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<std::string, UMockdevIoctlBase*>> handlers_;  // one per address used
    std::vector<Transfer> log_;
    std::vector<Urb> flying_;
    std::vector<uint8_t> ram_ = std::vector<uint8_t>(0x10000, 0);
    std::vector<uint8_t> reply_;
    size_t replyPos_ = 0;
    int replyLimit_ = -1;
    bool ignoreNext_ = false;
    std::string syspath_;
    int address_ = 1;
    bool present_ = false;
    bool running_ = false;
    bool held_ = false;
    int unplugCountdown_ = 0;
    std::vector<std::thread> renumber_;
};

}  // namespace fake
