#include "datafile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace analysis {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits, at most one ".", at least one digit; then "E" or "e", an optional
// sign and digits. The sign in front is checked by the caller.
bool plainNumber(std::string_view s)
{
    size_t i = 0;
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        const size_t start = i;
        while (i < s.size() && isDigit(s[i]))
            ++i;
        if (i == start)
            return false;
    }
    return i == s.size();
}

// A shown field, cut short so that an error stays one readable line.
std::string shown(std::string_view field)
{
    std::string out;
    for (const char c : field.substr(0, 24))
        out += (c >= ' ' && c < 127) ? c : '?';
    return "'" + out + (field.size() > 24 ? "...'" : "'");
}

const char* const kFieldNames[] = {"index", "channel A", "channel B", "channel C", "channel D"};

bool readVolts(std::string_view field, float& value, std::string& why)
{
    std::string_view s = field;
    if (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    const std::string_view digits = !s.empty() && s.front() == '-' ? s.substr(1) : s;
    if (!plainNumber(digits)) {
        why = "is not a number";
        return false;
    }
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) {
        why = "is out of range";
        return false;
    }
    return true;
}

bool readIndex(std::string_view field, size_t expected, std::string& why)
{
    std::string_view s = field;
    if (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    size_t index = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), index);
    if (s.empty() || !isDigit(s.front()) || ec != std::errc() || end != s.data() + s.size()) {
        why = "is not an index";
        return false;
    }
    if (index != expected) {
        why = "should be " + std::to_string(expected);
        return false;
    }
    return true;
}

}  // namespace

std::string ReadError::Text() const { return line == 0 ? what : "line " + std::to_string(line) + ": " + what; }

bool ReadSweepText(std::string_view text, SweepData& data, ReadError& error)
{
    data = SweepData{};
    if (text.empty()) {
        error = {1, "the file is empty"};
        return false;
    }
    const size_t expected = std::min<size_t>(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1, kSweepSteps);
    for (auto& v : data.volts)
        v.reserve(expected);
    std::array<float, kChannels> values{};
    size_t line = 0;
    while (!text.empty()) {
        ++line;
        const size_t newline = text.find('\n');
        std::string_view row = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (!row.empty() && row.back() == '\r')
            row.remove_suffix(1);
        if (line > static_cast<size_t>(kSweepSteps)) {
            error = {line, "more than 65536 lines"};
            return false;
        }
        std::array<std::string_view, 5> fields;
        size_t count = 0;
        for (std::string_view rest = row;; ++count) {
            const size_t comma = rest.find(',');
            if (count < fields.size())
                fields[count] = rest.substr(0, comma);
            if (comma == std::string_view::npos) {
                ++count;
                break;
            }
            rest = rest.substr(comma + 1);
        }
        if (row.empty()) {
            error = {line, "empty line"};
            return false;
        }
        if (count != fields.size()) {
            error = {line, "expected 5 comma-separated fields (index, A, B, C, D), found " + std::to_string(count)};
            return false;
        }
        std::string why;
        if (!readIndex(fields[0], line - 1, why)) {
            error = {line, "index " + shown(fields[0]) + " " + why};
            return false;
        }
        for (size_t ch = 0; ch < kChannels; ++ch) {
            if (!readVolts(fields[ch + 1], values[ch], why)) {
                error = {line, std::string(kFieldNames[ch + 1]) + " " + shown(fields[ch + 1]) + " " + why};
                return false;
            }
            data.volts[ch].push_back(values[ch]);
        }
    }
    data.lines = line;

    size_t swept = data.lines;
    while (swept > 0 && data.volts[0][swept - 1] == 0 && data.volts[1][swept - 1] == 0 &&
           data.volts[2][swept - 1] == 0 && data.volts[3][swept - 1] == 0)
        --swept;
    for (auto& v : data.volts)
        v.resize(swept);
    return true;
}

bool ReadSweepFile(const std::string& path, SweepData& data, ReadError& error)
{
    std::ifstream in(path, std::ios::binary);
    struct stat st {};
    if (!in || ::stat(path.c_str(), &st) != 0) {
        error = {0, std::string("cannot open: ") + std::strerror(errno)};
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = {0, "not a regular file"};
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > kMaxFileBytes) {
        error = {0, "too large for a sweep data file (" + std::to_string(st.st_size) + " bytes)"};
        return false;
    }
    std::string text(static_cast<size_t>(st.st_size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.gcount() != static_cast<std::streamsize>(text.size())) {
        error = {0, "read failed"};
        return false;
    }
    return ReadSweepText(text, data, error);
}

}  // namespace analysis
