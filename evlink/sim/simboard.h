#pragma once
// The simulated board as a driver of the interface library: one board, found
// unless it is absent or unplugged, that loads any well-formed Intel HEX file
// and then answers the vendor requests of the evaluation board.
#include "device.h"
#include "driver.h"
#include "options.h"
#include "pace.h"
#include "probe.h"

#include <memory>

#include <optional>

namespace evlink::sim {

// Vendor request codes the board's firmware answers.
enum RequestCode : uint8_t {
    kFrameAndLdacPulse = 217,
    kAdcTransfer = 218,
    kFrame = 221,
    kPinWord = 222,
};

// What every handle of the board shares: one board on one cable.
struct BoardState {
    explicit BoardState(const Options& o);
    Device device;
    bool firmwareRunning = false;
    uint64_t requests = 0;  // requests answered so far
    std::string optionsText;  // the options it was set up with
    std::optional<uint64_t> unplugAfter;
    Pacer pacer;
    std::unique_ptr<ProbeWriter> probe;  // the outputs for a simulated meter, when asked for
    bool Unplugged() const { return unplugAfter && requests >= *unplugAfter; }
    void PublishOutputs();
};

class SimDriver final : public Driver {
public:
    explicit SimDriver(const Options& options);
    const char* name() const override { return "simulated board"; }
    int scan() override;
    std::unique_ptr<Board> open(int n, std::string& why) override;
    BoardState& State() { return state_; }

private:
    BoardState state_;
};

// The simulated board of this process, set up from EVLINK_SIM.
SimDriver& ProcessSimDriver();

}  // namespace evlink::sim
