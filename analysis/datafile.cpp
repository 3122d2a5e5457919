#include "datafile.h"

#include "companion.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace analysis {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

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

std::string ReadError::Text() const
{
    // A reason that names its line itself reads on its own.
    return line == 0 || what.rfind("line ", 0) == 0 ? what : "line " + std::to_string(line) + ": " + what;
}

bool ReadSweepText(std::string_view text, SweepData& data, ReadError& error)
{
    const std::string_view whole = text;
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
        if (line > static_cast<size_t>(kSweepSteps)) {
            error = {line, "more than 65536 lines"};
            return false;
        }
        if (newline == std::string_view::npos) {
            error = {line, "the file ends inside this line, with no line end: it was cut short"};
            return false;
        }
        if (!row.empty() && row.back() == '\r')
            row.remove_suffix(1);
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
        if (line == 1 && std::any_of(fields[0].begin(), fields[0].end(), isLetter)) {
            error = {line, "line 1 holds names, not a sweep: " + shown(row) +
                               "; a sweep data file has no header line, only index, A, B, C, D on every line"};
            return false;
        }
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
    data.bytes = whole.size();
    data.checksum = DataChecksum(whole);

    const auto zeros = [&](size_t i) {
        return data.volts[0][i] == 0 && data.volts[1][i] == 0 && data.volts[2][i] == 0 && data.volts[3][i] == 0;
    };
    size_t swept = data.lines;
    while (swept > 0 && zeros(swept - 1))
        --swept;
    data.zeroTail = data.lines - swept;
    // A stop leaves the outputs' last readings behind and jumps to exact zeros.
    const bool jumps = swept > 0 && std::any_of(data.volts.begin(), data.volts.end(), [&](const std::vector<float>& v) {
        return std::abs(v[swept - 1]) > 2 * kAdcStepVolts;
    });
    if (jumps)
        for (auto& v : data.volts)
            v.resize(swept);
    return true;
}

void SweepData::TakeSteps(size_t steps)
{
    for (auto& v : volts)
        v.resize(std::min(steps, lines), 0.0f);
}

namespace {

// What a path that is not a regular file is, for the message.
std::string kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a directory";
    if (S_ISFIFO(mode))
        return "a FIFO (named pipe)";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "not a regular file";
}

struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& text, std::string& why, bool* missing)
{
    if (missing != nullptr)
        *missing = false;
    // The kind first: opening a FIFO for reading waits for a writer.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (missing != nullptr)
            *missing = errno == ENOENT;
        why = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "cannot read: it is " + kindOf(st.st_mode) + ", not a data file";
        return false;
    }
    // Without blocking all the same, should the path have changed meanwhile;
    // then the kind once more, of what was opened.
    const Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0) {
        why = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "cannot read: it is " + kindOf(st.st_mode) + ", not a data file";
        return false;
    }
    const auto tooLarge = [&](const std::string& size) {
        why = "too large (" + size + " bytes; at most " + std::to_string(maxBytes) + ")";
        return false;
    };
    if (static_cast<unsigned long long>(st.st_size) > maxBytes)
        return tooLarge(std::to_string(st.st_size));
    // Up to one byte beyond the limit, should the file have grown since.
    text.assign(static_cast<size_t>(st.st_size) + 1, '\0');
    size_t got = 0;
    while (true) {
        if (got == text.size()) {
            if (text.size() > maxBytes)
                break;
            text.resize(std::min(text.size() * 2, maxBytes + 1));
        }
        const ssize_t n = ::read(file.fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = std::string("read failed: ") + std::strerror(errno);
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got > maxBytes)
        return tooLarge("more than " + std::to_string(maxBytes));
    text.resize(got);
    return true;
}

bool ReadSweepFile(const std::string& path, SweepData& data, ReadError& error)
{
    data = SweepData{};
    std::string text;
    std::string why;
    if (!ReadRegularFile(path, kMaxFileBytes, text, why)) {
        error = {0, why.rfind("too large", 0) == 0 ? why + " for a sweep data file" : why};
        return false;
    }
    return ReadSweepText(text, data, error);
}

}  // namespace analysis
