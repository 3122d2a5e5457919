// Writing the sweep data file: the text of its lines.
#include "datafile.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace analysis {

void AppendDataLine(std::string& out, int32_t index, float a, float b, float c, float d)
{
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, index).ptr;
    if (index >= 0)
        out += ' ';
    out.append(digits, end);
    for (const float v : {a, b, c, d}) {
        out += ',';
        out += SingleText(v);
    }
    out += "\r\n";
}

std::string DataFileText(const SweepSamples& samples)
{
    size_t count = samples[0].size();
    for (const auto& channel : samples)
        count = std::min(count, channel.size());
    std::string text;
    text.reserve(count * 48);
    for (size_t i = 0; i < count; ++i)
        AppendDataLine(text, static_cast<int32_t>(i), samples[0][i], samples[1][i], samples[2][i], samples[3][i]);
    return text;
}

std::string SingleText(float v)
{
    if (std::isnan(v))
        return " nan";
    if (std::isinf(v))
        return v < 0 ? "-inf" : " inf";
    if (v == 0)
        return " 0";  // negative zero too

    // Seven significant digits, rounded from the exact float value:
    // "d.dddddde+XX".
    char sci[32];
    const auto [sciEnd, ec] = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific, 6);
    (void)ec;
    const char* p = sci;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    char digits[7];
    int count = 0;
    for (; *p != 'e'; ++p) {
        if (*p != '.')
            digits[count++] = *p;
    }
    int exponent = 0;
    std::from_chars(p[1] == '+' ? p + 2 : p + 1, sciEnd, exponent);
    while (count > 1 && digits[count - 1] == '0')
        --count;

    char out[40];
    int n = 0;
    out[n++] = negative ? '-' : ' ';
    if (exponent >= -8 && exponent <= 6) {
        if (exponent >= 0) {
            for (int i = 0; i <= exponent; ++i)
                out[n++] = i < count ? digits[i] : '0';
            if (count > exponent + 1) {
                out[n++] = '.';
                for (int i = exponent + 1; i < count; ++i)
                    out[n++] = digits[i];
            }
        } else {
            out[n++] = '0';
            out[n++] = '.';
            for (int i = -1; i > exponent; --i)
                out[n++] = '0';
            for (int i = 0; i < count; ++i)
                out[n++] = digits[i];
        }
    } else {
        out[n++] = digits[0];
        if (count > 1) {
            out[n++] = '.';
            for (int i = 1; i < count; ++i)
                out[n++] = digits[i];
        }
        out[n++] = 'E';
        out[n++] = exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        if (magnitude >= 100)
            out[n++] = static_cast<char>('0' + magnitude / 100);
        out[n++] = static_cast<char>('0' + magnitude / 10 % 10);
        out[n++] = static_cast<char>('0' + magnitude % 10);
    }
    return std::string(out, static_cast<size_t>(n));
}

}  // namespace analysis
