#include "codetext.h"

#include "board/declare.h"

const char* const kRangeTexts[6] = {"+5V", "+10V", "+10.8V", "\u00B15V", "\u00B110V", "\u00B110.8V"};

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
