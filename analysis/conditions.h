#pragma once
// Which conditions (range, coding, resolution) each channel of a sweep is
// analysed under, and from where: what the sweep recorded (its companion
// file, or the program's own record of a sweep in memory) first, then what
// the user chose, then defaults and a range guessed from the readings. A
// note per channel says which.
#include "companion.h"
#include "datafile.h"

#include <array>
#include <optional>
#include <string>

namespace analysis {

// What the user chose: options on the command line, or the window's boxes.
struct Choice {
    std::array<std::optional<int>, kChannels> ranges{};
    std::optional<Coding> coding;
    std::optional<int> resolution;
};

struct Chosen {
    std::array<Conditions, kChannels> channels;
    std::array<std::string, kChannels> notes;  // one sentence per channel: its conditions and their source
};

// `recorded` (may be null) as `where` names it ("the companion file
// Default.dat.json", "the sweep's record"); its steps, when known, decide how
// much of `data` was swept.
Chosen ChooseConditions(SweepData& data, const SweepConditions* recorded, const std::string& where, const Choice& choice);

}  // namespace analysis
