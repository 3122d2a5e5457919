#pragma once
// The figures of the last sweep (offset, gain, INL, DNL per channel) as JSON,
// for SWEep:ANALysis?.
#include <string>

namespace remote {

// `channel` 0..3 gives that channel's object; 4 gives {"channels": [...]}.
// The steps the sweep made, each channel under the conditions recorded when
// the sweep started (board/sweeprecord.h).
std::string SweepFiguresJson(int channel);

}  // namespace remote
