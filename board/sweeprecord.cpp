#include "sweeprecord.h"

#include "state.h"
#include "runtime/savefile.h"

#include <algorithm>

namespace sweeprecord {
namespace {
const std::array<const std::vector<float>*, 4> kArrays{&State.SweepVoltsA, &State.SweepVoltsB, &State.SweepVoltsC,
                                                       &State.SweepVoltsD};

size_t shortest(size_t count)
{
    for (const auto* volts : kArrays)
        count = std::min(count, volts->size());
    return count;
}
}  // namespace

analysis::SweepData Readings()
{
    analysis::SweepData data;
    const size_t steps = shortest(static_cast<size_t>(std::max(State.Sweep.steps, 0)));
    for (size_t ch = 0; ch < kArrays.size(); ++ch)
        data.volts[ch].assign(kArrays[ch]->begin(), kArrays[ch]->begin() + static_cast<ptrdiff_t>(steps));
    data.lines = steps;
    return data;
}

std::array<std::optional<int>, analysis::kChannels> RecordedRanges()
{
    std::array<std::optional<int>, analysis::kChannels> ranges;
    for (size_t ch = 0; ch < ranges.size(); ++ch) {
        const int code = State.Sweep.ranges[ch];
        if (code >= 0 && code < static_cast<int>(analysis::Ranges().size()))
            ranges[ch] = code;
    }
    return ranges;
}

analysis::Coding RecordedCoding()
{
    return State.Sweep.twosComplement ? analysis::Coding::TwosComplement : analysis::Coding::Binary;
}

int RecordedResolution()
{
    return analysis::ValidResolution(State.Sweep.resolution) ? State.Sweep.resolution : 16;
}

analysis::Conditions ConditionsOf(int channel, std::span<const float> readings)
{
    analysis::Conditions c;
    const auto range = RecordedRanges()[static_cast<size_t>(channel)];
    c.range = range ? *range : analysis::DefaultRange(readings);
    c.coding = RecordedCoding();
    c.resolution = RecordedResolution();
    return c;
}

bool SaveDataFile(const std::string& path, std::string& why)
{
    const size_t count = shortest(static_cast<size_t>(std::max(State.SampleCount, 0)));
    analysis::SweepSamples samples;
    for (size_t ch = 0; ch < kArrays.size(); ++ch)
        samples[ch] = std::span<const float>(kArrays[ch]->data(), count);
    return ReplaceFileContents(path, analysis::DataFileText(samples), why);
}

}  // namespace sweeprecord
