#include "notetext.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace analysis {

std::string Fixed(double v, int decimals)
{
    if (!std::isfinite(v))
        return "?";
    if (v == 0)
        v = 0;  // no "-0.000"
    char out[64];
    const bool huge = std::abs(v) >= 1e9;
    const auto [end, ec] = huge ? std::to_chars(out, out + sizeof out, v, std::chars_format::scientific, 1)
                                : std::to_chars(out, out + sizeof out, v, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(out, end) : std::string("?");
}

char ChannelLetter(int channel) { return channel >= 0 && channel < 26 ? static_cast<char>('A' + channel) : '?'; }

namespace {

// The code point of the UTF-8 sequence at text[i], its length in `length`;
// U+FFFD, length 1, for a byte that does not begin a well-formed sequence.
uint32_t decode(std::string_view text, size_t i, size_t& length)
{
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t b = byte(i);
    size_t n = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
    length = 1;
    if (n == 0 || i + n > text.size())
        return 0xFFFD;
    uint32_t cp = b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0xFFFD;
        cp = cp << 6 | (byte(i + k) & 0x3F);
    }
    static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0xFFFD;
    length = n;
    return cp;
}

void appendEscape(std::string& out, uint32_t unit)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(unit >> shift) & 0xF];
}

}  // namespace

std::string JsonString(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<uint8_t>(c) >= 0x20 && static_cast<uint8_t>(c) < 0x7F) {
            out += c;
        } else if (static_cast<uint8_t>(c) < 0x80) {
            appendEscape(out, static_cast<uint8_t>(c));
        } else {
            size_t length = 1;
            const uint32_t cp = decode(text, i, length);
            if (cp >= 0x10000) {
                appendEscape(out, 0xD800 + ((cp - 0x10000) >> 10));
                appendEscape(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                appendEscape(out, cp);
            }
            i += length;
            continue;
        }
        ++i;
    }
    return out;
}

}  // namespace analysis
