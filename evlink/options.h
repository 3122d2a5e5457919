#pragma once
// Settings of the simulated board and of the driver list, from the
// environment variable EVLINK_SIM: comma-separated items, read once.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace evlink {

struct Options {
    bool absent = false;  // no simulated board attached
    bool only = false;    // the simulated board only: no USB driver
    int resolution = 16;  // 16, 14 or 12 bits
    uint32_t latencyUs = 0;                 // every vendor request takes this long
    std::optional<uint64_t> unplugAfter;    // the board stops answering after this many requests
    uint16_t alarmBits = 0;                 // status bits shown in the power control register
    uint8_t faultyChannels = 0;             // bit n: channel n's output is stuck at 0 V
    // Static errors of the DAC outputs, all 0 unless asked for.
    double offsetMv = 0;  // added to every output
    double gainPpm = 0;   // the span scaled by 1 + gainPpm 1e-6 about its bottom
    double inlLsb = 0;    // a bow of this height at mid code, 0 at both ends
    double dnlLsb = 0;    // the upper half of the codes moved by this at the major carry
    double noiseMv = 0;   // standard deviation of the noise on every ADC conversion
    std::string probePath;  // where the four outputs are published for a simulated meter (sim/probe.h)
    std::string text;     // the items understood, joined by commas ("only,resolution=14")
};

// Longest latency accepted (10 s).
constexpr uint32_t kMaxLatencyUs = 10'000'000;

// Parses the option text. Each item that is not understood is ignored and
// described by one line in `complaints` (when given).
Options ParseOptions(std::string_view text, std::vector<std::string>* complaints = nullptr);

// EVLINK_SIM of this process, parsed at the first call; complaints go to
// standard error once.
const Options& EnvironmentOptions();

// True when this process asked for the simulated board: EVLINK_SIM is set
// (even empty). Without it only real boards are searched. A program asks for
// the simulated board by setting EVLINK_SIM before its first search.
bool SimulationAsked();

}  // namespace evlink
