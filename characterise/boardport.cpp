#include "boardport.h"

#include "board/adc.h"
#include "board/ops.h"
#include "board/owner.h"
#include "board/state.h"

namespace characterise {

void BoardCodes::WriteCode(int channel, int code)
{
    const owner::OwnWork own;  // the run holds the board: its codes pass
    ops::WriteDacCode(static_cast<int16_t>(channel), ops::ClampCode(code, State.ResolutionBits));
}

void AdcSource::Start() { value_ = MeasureChannel(channel_); }

std::optional<analysis::Conditions> ChannelConditions(int channel)
{
    analysis::Conditions c;
    int range = ops::RangeKnown(channel);
    if (range < 0)
        range = ops::ReadRange(static_cast<int16_t>(channel));
    if (range < 0 || range >= static_cast<int>(analysis::Ranges().size()))
        return std::nullopt;
    c.range = range;
    c.coding = State.BinPin == 0 ? analysis::Coding::TwosComplement : analysis::Coding::Binary;
    c.resolution = analysis::ValidResolution(State.ResolutionBits) ? State.ResolutionBits : 16;
    return c;
}

void DescribeAdc(ResultsHeader& header)
{
    header.meter = "adc";
    header.meterIdentity = "on-board ADC,13 bits,,";
    header.meterRangeVolts = 10;
    header.meterResolutionVolts = analysis::kAdcStepVolts;
    header.meterSetup.clear();
}

}  // namespace characterise
