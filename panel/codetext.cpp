#include "codetext.h"

#include "analysis/ranges.h"
#include "board/primitives.h"

std::string RangeText(int code) { return std::string(analysis::Ranges()[static_cast<size_t>(code)].name); }

std::string FormatHexCode(int32_t value, int resolutionBits)
{
    std::string text = HexDigits(value);
    size_t width = 0;
    if (resolutionBits == 12)
        width = 3;
    else if (resolutionBits == 14 || resolutionBits == 16)
        width = 4;
    if (text.size() < width)
        text.insert(0, width - text.size(), '0');
    return text;
}

std::string FormatHexCode(int32_t value) { return FormatHexCode(value, State.ResolutionBits); }
