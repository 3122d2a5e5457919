#include "ranges.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

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

int DefaultRange(std::span<const float> readings)
{
    if (readings.empty())
        return 0;
    const auto [lo, hi] = std::minmax_element(readings.begin(), readings.end());
    int best = 0;
    double bestMiss = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < Ranges().size(); ++i) {
        const double miss = std::abs(Ranges()[i].lo - *lo) + std::abs(Ranges()[i].hi - *hi);
        if (miss < bestMiss) {
            bestMiss = miss;
            best = static_cast<int>(i);
        }
    }
    return best;
}

}  // namespace analysis
