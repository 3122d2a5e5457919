#include "ranges.h"

#include "notetext.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace analysis {

const std::array<Range, 6>& Ranges()
{
    static const std::array<Range, 6> ranges{{
        {"+5V", 0.0, 5.0, false, "UNI5"},
        {"+10V", 0.0, 10.0, false, "UNI10"},
        {"+10.8V", 0.0, 10.8, false, "UNI10P8"},
        {"\u00B15V", -5.0, 5.0, true, "BIP5"},
        {"\u00B110V", -10.0, 10.0, true, "BIP10"},
        {"\u00B110.8V", -10.8, 10.8, true, "BIP10P8"},
    }};
    return ranges;
}

std::optional<int> RangeFromText(std::string_view text)
{
    std::string name(text);
    if (name.rfind("+-", 0) == 0)
        name.replace(0, 2, "\u00B1");
    for (size_t i = 0; i < Ranges().size(); ++i)
        if (Ranges()[i].name == name)
            return static_cast<int>(i);
    return std::nullopt;
}

std::string_view CodingName(Coding coding) { return coding == Coding::Binary ? "binary" : "twos"; }

std::optional<Coding> CodingFromText(std::string_view text)
{
    if (text == "binary")
        return Coding::Binary;
    if (text == "twos")
        return Coding::TwosComplement;
    return std::nullopt;
}

bool ParseRangeList(std::string_view text, std::array<std::optional<int>, kChannels>& ranges, std::string& why)
{
    if (const auto all = RangeFromText(text)) {
        ranges.fill(*all);
        return true;
    }
    auto parsed = ranges;
    while (true) {
        const size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const int channel = item.size() > 2 && item[1] == '=' ? item[0] - 'A' : -1;
        const auto range = channel >= 0 && channel < kChannels ? RangeFromText(item.substr(2)) : std::nullopt;
        if (!range) {
            why = "'" + std::string(item) + "' is not a range (+5V, +10V, +10.8V, +-5V, +-10V, +-10.8V) or A=range .. D=range";
            return false;
        }
        parsed[static_cast<size_t>(channel)] = range;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    ranges = parsed;
    return true;
}

namespace {

bool atAdcLimit(double v) { return v <= kAdcLowVolts + kAdcStepVolts / 4 || v >= kAdcHighVolts - kAdcStepVolts / 4; }

std::string nameList(const std::vector<int>& ranges)
{
    std::string out;
    for (const int r : ranges)
        out += (out.empty() ? "" : ", ") + std::string(Ranges()[static_cast<size_t>(r)].name);
    return out;
}

}  // namespace

RangeGuess GuessRange(std::span<const float> readings, Coding coding, int resolution)
{
    if (readings.empty())
        return {0, "no readings: the range is taken as +5V."};
    const auto [lowest, highest] = std::minmax_element(readings.begin(), readings.end());
    const double lo = *lowest;
    const double hi = *highest;
    const std::string extent = "(" + VoltsText(lo) + " to " + VoltsText(hi) + ")";

    std::vector<int> holding;
    for (size_t i = 0; i < Ranges().size(); ++i)
        if (lo >= Ranges()[i].lo - kAdcStepVolts && hi <= Ranges()[i].hi + kAdcStepVolts)
            holding.push_back(static_cast<int>(i));
    if (holding.empty()) {
        const int widest = static_cast<int>(Ranges().size()) - 1;
        return {widest, "no range holds the readings " + extent + "; taken as " +
                            std::string(Ranges()[static_cast<size_t>(widest)].name) + "."};
    }

    // How far, on average, the readings lie from each candidate's ideal
    // transfer at the codes they were taken at: a few hundred of them, evenly
    // spread over the sweep, is plenty.
    const size_t samples = std::min<size_t>(readings.size(), 512);
    const int shift = 16 - (ValidResolution(resolution) ? resolution : 16);
    int best = holding.front();
    double bestMiss = std::numeric_limits<double>::infinity();
    const auto meanMiss = [&](const Conditions& c, bool skipLimits) {
        double miss = 0;
        size_t counted = 0;
        for (size_t k = 0; k < samples; ++k) {
            const size_t i = k * readings.size() / samples;
            if (!skipLimits || !atAdcLimit(readings[i])) {
                miss += std::abs(readings[i] - c.ideal(c.position(static_cast<int>(i >> shift))));
                ++counted;
            }
        }
        return counted == 0 ? std::numeric_limits<double>::quiet_NaN() : miss / static_cast<double>(counted);
    };
    for (const int r : holding) {
        const Conditions c{r, coding, 16 - shift};
        double miss = meanMiss(c, true);
        if (std::isnan(miss))
            miss = meanMiss(c, false);
        if (miss < bestMiss) {
            bestMiss = miss;
            best = r;
        }
    }
    std::string note = "range guessed from the readings " + extent + ": " +
                       std::string(Ranges()[static_cast<size_t>(best)].name) + " fits them best";
    if (holding.size() > 1)
        note += " of the ranges that hold them (" + nameList(holding) + ")";
    return {best, note + "; choose the range the channel was set to if it was another."};
}

}  // namespace analysis
