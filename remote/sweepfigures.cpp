#include "sweepfigures.h"

#include "analysis/figures.h"
#include "analysis/report.h"
#include "board/declare.h"
#include "board/ops.h"

#include <algorithm>
#include <array>
#include <span>
#include <vector>

namespace remote {

std::string SweepFiguresJson(int channel)
{
    const std::array<const std::vector<float>*, 4> arrays{&State.SweepVoltsA, &State.SweepVoltsB,
                                                          &State.SweepVoltsC, &State.SweepVoltsD};
    size_t steps = static_cast<size_t>(std::max(State.SampleCount, 0));
    for (const auto* v : arrays)
        steps = std::min(steps, v->size());
    while (steps > 0 && std::all_of(arrays.begin(), arrays.end(), [&](const auto* v) { return (*v)[steps - 1] == 0.0f; }))
        --steps;

    std::vector<analysis::ChannelAnalysis> results;
    for (int ch = 0; ch < 4; ++ch) {
        if (channel != 4 && ch != channel)
            continue;
        const std::span<const float> readings(arrays[static_cast<size_t>(ch)]->data(), steps);
        analysis::Conditions c;
        const int known = ops::RangeKnown(ch);
        c.range = known >= 0 ? known : analysis::DefaultRange(readings);
        c.coding = State.BinPin == 0 ? analysis::Coding::TwosComplement : analysis::Coding::Binary;
        c.resolution = analysis::ValidResolution(State.ResolutionBits) ? State.ResolutionBits : 16;
        results.push_back(analysis::Analyse(readings, c));
    }
    std::string json = channel != 4 ? analysis::ChannelJson(channel, results.front()) : analysis::FiguresJson(results);
    // One line of ASCII for the wire (VISA clients read ASCII by default): the
    // document's line breaks go, and the "±" of the range names is escaped.
    std::erase(json, '\n');
    std::string ascii;
    ascii.reserve(json.size());
    for (size_t i = 0; i < json.size(); ++i) {
        if (json.compare(i, 2, "\xC2\xB1") == 0) {
            ascii += "\\u00b1";
            ++i;
        } else {
            ascii += json[i];
        }
    }
    return ascii;
}

}  // namespace remote
