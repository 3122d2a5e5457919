#include "sweepfigures.h"

#include "analysis/figures.h"
#include "analysis/report.h"
#include "board/state.h"
#include "board/sweeprecord.h"

#include <algorithm>
#include <utility>
#include <array>
#include <span>
#include <vector>

namespace remote {

namespace {
std::string ComputeFiguresJson(int channel, analysis::SweepData& data)
{
    const analysis::Chosen chosen = sweeprecord::ChosenConditions(data);
    // The analyses' arrays are kept from one query to the next, so that a
    // query allocates nothing new: fresh arrays for four channels cost tens
    // of milliseconds in page faults alone, and the other clients wait.
    static std::array<analysis::ChannelAnalysis, 4> kept;
    for (int ch = 0; ch < 4; ++ch) {
        if (channel != 4 && ch != channel)
            continue;
        const size_t i = static_cast<size_t>(ch);
        analysis::Analyse(data.volts[i], chosen.channels[i], kept[i], chosen.notes[i]);
    }
    return WireJson(channel != 4 ? analysis::ChannelJson(channel, kept[static_cast<size_t>(channel)])
                                 : analysis::FiguresJson(kept));
}
}  // namespace

std::string SweepFiguresJson(int channel)
{
    // A line of many SWE:ANAL? must not cost as many analyses of the same
    // sweep: each channel's answer is kept until the sweep changes.
    static std::array<std::pair<uint64_t, std::string>, 5> kept;
    const uint64_t generation = SweepGeneration();
    auto& slot = kept[static_cast<size_t>(std::clamp(channel, 0, 4))];
    if (!slot.second.empty() && slot.first == generation)
        return slot.second;
    analysis::SweepData data = sweeprecord::Readings();
    slot = {generation, ComputeFiguresJson(channel, data)};
    return slot.second;
}

std::string WireJson(std::string json)
{
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
