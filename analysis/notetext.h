#pragma once
// Numbers as the notes write them: never more text than the number needs,
// never garbage, whatever the value.
#include <string>
#include <string_view>

namespace analysis {

// `v` with `decimals` digits after the point ("-9.998"); a value too large
// for that ("1.0e+38") in exponent form; "?" for NaN or infinity.
std::string Fixed(double v, int decimals);

// "-10.000 V"
inline std::string VoltsText(double v) { return Fixed(v, 3) + " V"; }

// "A" to "D"; "?" beyond.
char ChannelLetter(int channel);

// Text in a JSON string's quotes, ASCII only: quotes, backslashes and control
// characters escaped, everything beyond ASCII as \uXXXX (a byte that is not
// UTF-8 as U+FFFD), so that a VISA client reading ASCII gets it whole.
std::string JsonString(std::string_view text);

}  // namespace analysis
