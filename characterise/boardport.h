#pragma once
// The run's side of the board: codes written through the board operations,
// the board's own ADC as a reading source, and the conditions a channel is
// measured under as the board operations know them.
#include "run.h"

#include "analysis/ranges.h"

#include <optional>

namespace characterise {

// Writes each code with ops::WriteDacCode, as the panel's code entry does.
class BoardCodes final : public CodeSink {
public:
    void WriteCode(int channel, int code) override;
};

// The on-board ADC: one conversion per reading, in steps of 20 V / 8192.
class AdcSource final : public ReadingSource {
public:
    explicit AdcSource(int channel) : channel_(channel) {}
    void Start() override;
    int WatchFd() const override { return -1; }
    bool Ready() override { return true; }
    double Finish() override { return value_; }
    std::chrono::milliseconds Timeout() const override { return std::chrono::milliseconds(1000); }
    std::string Name() const override { return "the board's ADC"; }

private:
    int channel_;
    double value_ = 0;
};

// The range (as last written or read back; read back when unknown), the
// coding (the BIN/2sCOMP pin) and the resolution of a channel now; nothing
// when its range register names no output range.
std::optional<analysis::Conditions> ChannelConditions(int channel);

// The header's meter fields for the board's ADC.
void DescribeAdc(ResultsHeader& header);

}  // namespace characterise
