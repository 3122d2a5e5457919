#pragma once
// The last sweep as the analysis and the data file take it: its readings up to
// the step it reached and the conditions recorded when it started. The test
// window, the remote-control server and the data file writer all go through
// here, so a sweep is analysed and saved under one rule whoever started it.
#include "analysis/conditions.h"
#include "analysis/datafile.h"
#include "analysis/ranges.h"

#include <string>

namespace sweeprecord {

// The four channels' readings of every step the last sweep made.
analysis::SweepData Readings();

// All the sweep recorded, as its companion file keeps it: the ranges (each
// channel's range register as the board operations last wrote or read it
// when it started; unknown ones empty), the coding (the BIN/2sCOMP pin) and
// the resolution at the start, the steps made, when it started and made its
// last step, the part, the board and the program.
analysis::RecordedSweep Recorded();

// Each channel's conditions: what the sweep recorded, else guessed from the
// readings (a range); with a note per channel saying which.
analysis::Chosen ChosenConditions(analysis::SweepData& data);

// Every sample of the sweep arrays as data file lines (index 0 to the sample
// count less one), replacing `path` only once all is written; then the
// companion file beside it (NAME.json), written the same way unless
// `withCompanion` is false. False, with `why`, when the data file could not
// be written. A companion that could not be written leaves the data file as
// saved and says why in `companionWhy`.
bool SaveDataFile(const std::string& path, std::string& why, std::string* companionWhy = nullptr,
                  bool withCompanion = true);

}  // namespace sweeprecord
