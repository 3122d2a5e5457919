#pragma once
// The board interface library as the program sees it, whichever generation the
// executable binds: the connection step and the vendor request.
#include <cstdint>
#include <memory>
#include <string>

class BoardLink {
public:
    virtual ~BoardLink() = default;

    // The connection step of start-up and of the self-test. Returns once the
    // board is connected; otherwise ends the program after its message.
    virtual void ConnectStep() = 0;

    // One connection attempt that shows nothing and ends nothing, for the
    // programs without a window: empty when connected, otherwise why not.
    virtual std::string ConnectQuietly() { return "this board link has no quiet connection"; }

    // One vendor request on the opened board; the status is the library's.
    virtual int16_t VendorRequest(uint8_t code, int32_t value, int32_t index, uint8_t direction,
                                  uint16_t length, uint8_t* buffer) = 0;

    // What the interface library says of the opened board
    // (board/identity.h); empty when it cannot tell.
    virtual std::string IdentityText() { return {}; }

    // The older generation empties the self-test verdict before it connects.
    virtual bool ClearsVerdictBeforeTest() const = 0;
};

struct Edition {
    const char* title;  // the program's title
    int major;
    int minor;
    int revision;
    std::unique_ptr<BoardLink> (*makeLink)();
};

// The two generations. Each executable picks one at start.
const Edition& SecondEdition();  // 1.01.0006, EVLINK4, retries
const Edition& FirstEdition();   // 1.01.0001, EVLINK1, stops on a failed load

void UseEdition(const Edition& edition);
const Edition& CurrentEdition();
BoardLink& Board();

// The board's USB identifiers as the program passes them to the library.
constexpr uint16_t kBoardVendorId = 0x1234;
constexpr uint16_t kBoardProductId = 0x5678;
