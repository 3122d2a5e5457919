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
    bool overRecord = false;  // leave a companion file aside
};

struct Chosen {
    std::array<Conditions, kChannels> channels;
    std::array<std::string, kChannels> notes;  // one sentence per channel: its conditions and their source
};

// `recorded` (may be null) as `where` names it ("the companion file
// Default.dat.json", "the sweep"); its steps, when known, decide how
// much of `data` was swept.
Chosen ChooseConditions(SweepData& data, const RecordedSweep* recorded, const std::string& where, const Choice& choice);

// The same for a data file read from `path`: its companion file when there
// is one that describes it (unless the choice is over the record), else the
// choice and guesses; a companion that cannot be taken is named in the
// notes, and why.
Chosen ChooseForFile(const std::string& path, SweepData& data, const Choice& choice);

}  // namespace analysis
