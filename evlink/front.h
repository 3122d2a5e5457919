#pragma once
// What the two C front ends do, over a list of drivers: boards of all drivers
// numbered 1, 2, ... in driver order, handles for opened boards, and one
// trace line per call. The fourth-generation calls work on handles; the
// first-generation calls on the one board LoadFirmWare opened.
#include "driver.h"
#include "trace.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace evlink {

// Longest path a download reads before it gives up looking for the terminator.
constexpr std::size_t kMaxPathBytes = 4096;

class Front {
public:
    // The trace may be null (no trace); it must outlive the front.
    Front(std::vector<Driver*> drivers, Trace* trace);

    int16_t Search(uint16_t vendorId, uint16_t productId, int32_t* boardCount, uint8_t* boardList);
    int16_t Connect(uint16_t vendorId, uint16_t productId, uint8_t board, int32_t* handle);
    int16_t Download(int32_t handle, const uint8_t* path);
    int16_t Request(int32_t handle, int request, int32_t value, int32_t index, int direction, int length,
                    uint8_t* buffer);

    int16_t LoadFirmware(const uint8_t* path);

    // The opened board's identity (Board::identity), zero-terminated and cut
    // to fit `size` bytes. 0, or -1 when no board is open with that handle.
    int16_t Identity(int32_t handle, uint8_t* text, int size);
    int16_t IdentityFirst(uint8_t* text, int size);
    int16_t RequestFirst(int request, int32_t value, int32_t index, int direction, int length, uint8_t* buffer);

private:
    // Counts the boards of every driver; returns the total.
    int ScanAll();
    struct Opened {
        Driver* driver = nullptr;
        int index = 0;  // the driver's own board number, from 0
        std::unique_ptr<Board> board;
    };
    // Opens board `number` (1-based) of the last scan, first closing any
    // earlier handle of that board, so that it is free to be opened again.
    Opened OpenNumber(int number, std::string& why);
    std::vector<Opened*> ByBoard(Driver* driver, int index);
    Board* ByHandle(int32_t handle);
    Status Carry(Board* board, int request, int32_t value, int32_t index, int direction, int length,
                 uint8_t* buffer, const char* noBoard);
    void TraceRequest(int request, int32_t value, int32_t index, int direction, int length, const uint8_t* buffer,
                      const Status& status);
    void TraceLine(const std::string& line);
    static int16_t CopyIdentity(const Board* board, uint8_t* text, int size);

    std::mutex mutex_;
    std::vector<Driver*> drivers_;
    std::vector<int> counts_;  // boards per driver at the last scan
    bool scanned_ = false;
    Trace* trace_;
    std::vector<Opened> boards_;  // handle n is boards_[n - 1]; closed ones keep their place
    Opened firstGeneration_;
};

// Drivers in the order the search lists their boards: USB first unless
// `only`, then the simulated board unless `absent`. Null drivers are skipped.
struct Options;
std::vector<Driver*> ArrangeDrivers(const Options& options, Driver* usb, Driver* sim);

}  // namespace evlink
