#pragma once
// Inside the interface library: every kind of board it can reach is a Driver
// (the USB boards, the simulated board), and an opened board is a Board. The
// C front (Search_For_Boards and the rest) numbers the boards of all drivers,
// keeps the handles and writes the trace; drivers never trace requests.
#include <cstdint>
#include <memory>
#include <string>

namespace evlink {

struct Status {
    int code = 0;       // 0 = success, negative = failure
    std::string error;  // on failure: the name the trace prints after "error="
    bool ok() const { return code == 0; }
};

class Board {
public:
    virtual ~Board() = default;
    // Loads the microcontroller from an Intel HEX file; on failure `why` says why.
    virtual bool loadFirmware(const std::string& path, std::string& why) = 0;
    // One vendor request. On failure the buffer must be left exactly as it was.
    virtual Status vendorRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t direction,
                                 uint16_t length, uint8_t* buffer) = 0;
    // What the board is, for people: "USB,<bus>-<ports>,<serial>" or
    // "SIMULATED,<options>".
    virtual std::string identity() const { return "USB,unknown,0"; }
};

class Driver {
public:
    virtual ~Driver() = default;
    virtual const char* name() const = 0;
    // Counts the boards attached now; open() numbers them from 0 in that order.
    virtual int scan() = 0;
    // Opens board n of the last scan; null (with `why`) when it cannot be opened.
    virtual std::unique_ptr<Board> open(int n, std::string& why) = 0;
};

}  // namespace evlink
