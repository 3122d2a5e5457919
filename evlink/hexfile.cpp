#include "hexfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace evlink {
namespace {

constexpr uint8_t kDataRecord = 0x00;
constexpr uint8_t kEndRecord = 0x01;
constexpr std::size_t kAddressSpace = 0x10000;
// Byte count, two address bytes, type and checksum.
constexpr std::size_t kRecordOverhead = 5;

HexImage Failure(std::string why)
{
    HexImage image;
    image.error = std::move(why);
    return image;
}

HexImage LineFailure(std::size_t line, const std::string& why)
{
    return Failure("line " + std::to_string(line) + ": " + why);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string Hex2(unsigned v)
{
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[(v >> 4) & 0xF] + digits[v & 0xF];
}

std::string_view StripLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return line;
}

// Decodes the hex digits after the colon, or says why it cannot.
bool DecodeRecord(std::string_view digits, std::vector<uint8_t>& bytes, std::string& why)
{
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (HexDigit(digits[i]) < 0) {
            why = "character at column " + std::to_string(i + 2) + " is not a hexadecimal digit";
            return false;
        }
    }
    if (digits.size() % 2 != 0) {
        why = "odd number of hexadecimal digits";
        return false;
    }
    if (digits.size() < 2 * kRecordOverhead) {
        why = "record is too short";
        return false;
    }
    bytes.clear();
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(HexDigit(digits[i]) * 16 + HexDigit(digits[i + 1])));
    return true;
}

}  // namespace

HexImage ParseHex(std::string_view text)
{
    if (text.size() > kMaxHexFileBytes)
        return Failure("file is larger than the limit of " + std::to_string(kMaxHexFileBytes) + " bytes");

    HexImage image;
    std::vector<uint8_t> bytes;
    bool ended = false;
    std::size_t lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t newline = text.find('\n', pos);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline;
        const std::string_view line = StripLineEnd(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNo;
        if (line.empty())
            continue;
        if (ended)
            return LineFailure(lineNo, "text after the end record");
        if (line.front() != ':')
            return LineFailure(lineNo, "record does not start with ':'");

        std::string why;
        if (!DecodeRecord(line.substr(1), bytes, why))
            return LineFailure(lineNo, why);
        const std::size_t count = bytes[0];
        if (bytes.size() != count + kRecordOverhead)
            return LineFailure(lineNo, "byte count says " + std::to_string(count) + " data bytes, the record holds " +
                                           std::to_string(bytes.size() - kRecordOverhead));
        unsigned sum = 0;
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
            sum += bytes[i];
        const unsigned expected = (0x100 - (sum & 0xFF)) & 0xFF;
        if (expected != bytes.back())
            return LineFailure(lineNo, "checksum is " + Hex2(bytes.back()) + ", should be " + Hex2(expected));

        const uint16_t address = static_cast<uint16_t>(bytes[1] << 8 | bytes[2]);
        const uint8_t type = bytes[3];
        if (type == kDataRecord) {
            if (address + count > kAddressSpace)
                return LineFailure(lineNo, "data runs past the 64 KiB address space");
            if (count > 0)
                image.records.push_back({address, std::vector<uint8_t>(bytes.begin() + 4, bytes.end() - 1)});
        } else if (type == kEndRecord) {
            if (count != 0)
                return LineFailure(lineNo, "end record carries data");
            ended = true;
        } else {
            return LineFailure(lineNo, "record type " + Hex2(type) + " is not supported (only data and end records)");
        }
    }
    if (!ended)
        return Failure("no end record");
    image.ok = true;
    return image;
}

HexImage ReadHexFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Failure("cannot open the file: " + std::string(std::strerror(errno)));
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};

    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return Failure("cannot read the file: " + std::string(std::strerror(errno)));
    if (!S_ISREG(st.st_mode))
        return Failure("not a regular file");
    if (static_cast<uint64_t>(st.st_size) > kMaxHexFileBytes)
        return Failure("file is larger than the limit of " + std::to_string(kMaxHexFileBytes) + " bytes");

    // Read at most one byte past the limit, whatever the size said.
    std::string text;
    text.resize(kMaxHexFileBytes + 1);
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Failure("cannot read the file: " + std::string(std::strerror(errno)));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return ParseHex(text);
}

bool IsSimulatedBoardFirmware(const HexImage& image)
{
    if (!image.ok)
        return false;
    std::size_t top = 0;
    for (const auto& r : image.records)
        top = std::max(top, r.address + r.data.size());
    std::vector<uint8_t> memory(top, 0);
    for (const auto& r : image.records)
        std::copy(r.data.begin(), r.data.end(), memory.begin() + r.address);
    return std::search(memory.begin(), memory.end(), kSimulatedFirmwareMark.begin(), kSimulatedFirmwareMark.end()) !=
           memory.end();
}

}  // namespace evlink
