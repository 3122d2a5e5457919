#include "conditions.h"

#include <vector>

namespace analysis {
namespace {

std::string codingText(Coding c) { return c == Coding::Binary ? "straight binary" : "two's complement"; }
std::string bitsText(int bits) { return std::to_string(bits) + " bits"; }

std::string listed(const std::vector<std::string>& items)
{
    std::string out;
    for (size_t i = 0; i < items.size(); ++i)
        out += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    return out;
}

// The sentence parts of one channel, by source.
struct Parts {
    std::vector<std::string> recorded, chosen, assumed, overruled;
    std::string guess;
};

template <typename T, typename Text>
T pick(const std::optional<T>& fromRecord, const std::optional<T>& fromChoice, T fallback, Text text, Parts& parts)
{
    if (fromRecord) {
        parts.recorded.push_back(text(*fromRecord));
        if (fromChoice && *fromChoice != *fromRecord)
            parts.overruled.push_back(text(*fromChoice));
        return *fromRecord;
    }
    if (fromChoice) {
        parts.chosen.push_back(text(*fromChoice));
        return *fromChoice;
    }
    parts.assumed.push_back(text(fallback));
    return fallback;
}

}  // namespace

Chosen ChooseConditions(SweepData& data, const RecordedSweep* recorded, const std::string& where, const Choice& choice)
{
    const RecordedSweep none;
    const RecordedSweep& r = recorded != nullptr ? *recorded : none;
    if (r.steps)
        data.TakeSteps(*r.steps);
    Chosen out;
    for (int ch = 0; ch < kChannels; ++ch) {
        const size_t i = static_cast<size_t>(ch);
        Parts parts;
        Conditions& c = out.channels[i];
        const auto rangeName = [](int range) { return "range " + std::string(Ranges()[static_cast<size_t>(range)].name); };
        const auto valid = [](const std::optional<int>& bits) { return bits && ValidResolution(*bits) ? bits : std::nullopt; };
        const bool given = r.ranges[i] || choice.ranges[i];
        if (given)
            c.range = pick(r.ranges[i], choice.ranges[i], 0, rangeName, parts);
        // The range guess reads the codes by the coding and the resolution.
        c.coding = pick(r.coding, choice.coding, Coding::Binary, codingText, parts);
        c.resolution = pick(valid(r.resolution), valid(choice.resolution), 16, bitsText, parts);
        if (!given) {
            const RangeGuess g = GuessRange(data.volts[i], c.coding, c.resolution);
            c.range = g.range;
            parts.guess = g.note;
        }
        std::vector<std::string> sentences;
        if (!parts.recorded.empty())
            sentences.push_back(listed(parts.recorded) + " as " + where + " recorded " +
                                (parts.recorded.size() == 1 ? "it" : "them"));
        if (!parts.chosen.empty())
            sentences.push_back(listed(parts.chosen) + " as chosen");
        if (!parts.assumed.empty())
            sentences.push_back(listed(parts.assumed) + " assumed, as nothing recorded " +
                                (parts.assumed.size() == 1 ? "it" : "them"));
        if (!parts.overruled.empty())
            sentences.push_back(listed(parts.overruled) + " not taken: " + where + " recorded otherwise");
        if (!parts.guess.empty())
            sentences.push_back(parts.guess);
        std::string note;
        for (const std::string& s : sentences)
            note += (note.empty() ? "" : "; ") + s;
        if (note.back() != '.')
            note += '.';
        out.notes[i] = note;
    }
    return out;
}

Chosen ChooseForFile(const std::string& path, SweepData& data, const Choice& choice)
{
    const std::string companion = CompanionPath(path);
    const size_t slash = companion.rfind('/');
    const std::string name = "the companion file " + (slash == std::string::npos ? companion : companion.substr(slash + 1));
    RecordedSweep recorded;
    std::string why;
    const CompanionRead read = !choice.overRecord ? ReadCompanionFile(path, data.bytes, data.checksum, recorded, why)
                                            : CompanionRead::Absent;
    Chosen chosen = ChooseConditions(data, read == CompanionRead::Read ? &recorded : nullptr, name, choice);
    if (read == CompanionRead::Refused)
        for (std::string& note : chosen.notes)
            note = name + " was not taken: " + why + ". " + note;
    return chosen;
}

}  // namespace analysis
