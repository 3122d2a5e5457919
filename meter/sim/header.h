#pragma once
// SCPI command headers against patterns written as the manuals write them:
// "[SENSe:]VOLTage[:DC]:NPLCycles" matches "VOLT:NPLC", "sens:voltage:dc:nplcycles", ...
#include <string_view>

namespace simmeter {

// `header` without its '?'; a leading ':' is allowed.
bool Matches(std::string_view header, std::string_view pattern);

}  // namespace simmeter
