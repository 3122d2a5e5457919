#pragma once
// The last sweep as the analysis and the data file take it: its readings up to
// the step it reached and the conditions recorded when it started. The test
// window, the remote-control server and the data file writer all go through
// here, so a sweep is analysed and saved under one rule whoever started it.
#include "analysis/datafile.h"
#include "analysis/ranges.h"

#include <string>

namespace sweeprecord {

// The four channels' readings of every step the last sweep made.
analysis::SweepData Readings();

// The ranges recorded at the start (each channel's range register as the board
// operations last wrote or read it; unknown ones empty).
std::array<std::optional<int>, analysis::kChannels> RecordedRanges();
// The coding (the BIN/2sCOMP pin) and the resolution recorded at the start.
analysis::Coding RecordedCoding();
int RecordedResolution();

// A channel's conditions: the recorded range, or else the range its readings
// fit best; the recorded coding and resolution.
analysis::Conditions ConditionsOf(int channel, std::span<const float> readings);

// Every sample of the sweep arrays as data file lines (index 0 to the sample
// count less one), replacing `path` only once all is written.
bool SaveDataFile(const std::string& path, std::string& why);

}  // namespace sweeprecord
