#pragma once
// The simulated bench meter's instrument: a 6½-digit DC voltmeter with the
// SCPI-99 commands common DMMs accept, measuring one output of the simulated
// board through the board's probe file, with noise of its own from a fixed
// seed, and fault modes for tests.
#include "evlink/sim/noise.h"
#include "evlink/sim/probe.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace simmeter {

struct Settings {
    std::string probePath;    // the simulated board's probe file
    int channel = 0;          // the output it is wired to, 0..3 = A..D
    double noiseUv = 2.0;     // standard deviation at 1 PLC, in microvolts; falls as 1/sqrt(NPLC)
    uint64_t seed = 1;        // of the noise
    int64_t delayUs = 0;      // each reading answers this long after its query
    // Faults, each after that many readings (none when empty).
    std::optional<uint64_t> hangAfter;        // no answers any more
    std::optional<uint64_t> garbageAfter;     // readings answered with nonsense
    std::optional<uint64_t> disconnectAfter;  // the connection is closed
};

class Instrument {
public:
    explicit Instrument(const Settings& settings);

    enum class Fate { Answer, Silent, Hang, Disconnect };
    // Runs one line of commands (';' between them). `answer` gets the
    // answers joined by ';' (without line end) when Fate::Answer.
    Fate Line(std::string_view line, std::string& answer);
    // Delay owed before the answer to the last line goes out.
    int64_t AnswerDelayUs() const { return delayOwed_; }
    uint64_t Readings() const { return readings_; }

private:
    bool Command(std::string_view header, std::string_view args, bool query, std::string& answer);
    std::optional<std::string> Reading(Fate& fate);
    void PushError(int code, const char* text);
    double Measure();
    double RangeFor(double volts) const;

    Settings s_;
    evlink::sim::ProbeReader probe_;
    evlink::sim::GaussianNoise noise_;
    double range_ = 10;       // volts
    bool autoRange_ = true;
    double nplc_ = 10;
    std::string autoZero_ = "ON";
    std::deque<std::pair<int, std::string>> errors_;
    uint64_t readings_ = 0;
    int64_t delayOwed_ = 0;
};

}  // namespace simmeter
