#pragma once
// The figures of the last sweep (offset, gain, INL, DNL per channel) as JSON,
// for SWEep:ANALysis?.
#include <string>

namespace remote {

// `channel` 0..3 gives that channel's object; 4 gives {"channels": [...]}.
// Each channel is analysed under its range as last written or read, the
// coding of the BIN/2sCOMP pin and the resolution now chosen. The trailing
// run of steps where all four readings are exactly 0 counts as not swept, as
// in a saved file.
std::string SweepFiguresJson(int channel);

}  // namespace remote
