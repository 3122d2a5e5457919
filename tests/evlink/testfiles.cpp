#include "testfiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace evtest {

std::string ScratchDir()
{
    static const std::string dir = [] {
        std::filesystem::create_directories(EVLINK_TEST_SCRATCH);
        return std::string(EVLINK_TEST_SCRATCH);
    }();
    return dir;
}

std::string WriteFile(const std::string& name, const std::string& text)
{
    const std::string path = ScratchDir() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string HexRecord(uint16_t address, uint8_t type, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                               static_cast<uint8_t>(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (auto b : bytes)
        sum += b;
    bytes.push_back(static_cast<uint8_t>(-sum));
    std::string line = ":";
    char hex[3];
    for (auto b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line;
}

std::string GoodHex()
{
    return HexRecord(0x0000, 0, {0x02, 0x00, 0x10}) + "\n" + HexRecord(0x0010, 0, {0xAA, 0x55}) + "\n" +
           HexRecord(0, 1, {}) + "\n";
}

uint8_t Rev(uint8_t b)
{
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        r = static_cast<uint8_t>(r << 1 | (b >> i & 1));
    return r;
}

}  // namespace evtest
