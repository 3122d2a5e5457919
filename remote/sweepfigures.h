#pragma once
// The figures of the last sweep (offset, gain, INL, DNL per channel) as JSON,
// for SWEep:ANALysis?.
#include <string>

namespace remote {

// `channel` 0..3 gives that channel's object; 4 gives {"channels": [...]}.
// The steps the sweep made, each channel under the conditions recorded when
// the sweep started (board/sweeprecord.h).
std::string SweepFiguresJson(int channel);

// A JSON document as one line of ASCII for the wire.
std::string WireJson(std::string json);

}  // namespace remote
