#include "hexfile.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <unistd.h>

using namespace evlink;

namespace {

// One record with its checksum.
std::string Record(uint16_t address, uint8_t type, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> bytes{uint8_t(data.size()), uint8_t(address >> 8), uint8_t(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (auto b : bytes)
        sum = uint8_t(sum - b);
    bytes.push_back(sum);
    std::string line = ":";
    for (auto b : bytes) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line;
}

const std::string kEnd = Record(0, 1, {}) + "\n";
const std::string kData = Record(0x0100, 0, {0x11, 0x22}) + "\n";
}  // namespace

TEST(HexParse, GoodFileWithMixedLineEndsAndBlankLines)
{
    const HexImage image = ParseHex("\r\n" + Record(0x1234, 0, {1, 2, 3}) + "\r\n\n:02FFFE00abcd89\n" +
                                    Record(0, 1, {}) + "  \r\n\n");
    ASSERT_TRUE(image.ok) << image.error;
    ASSERT_EQ(image.records.size(), 2u);
    EXPECT_EQ(image.records[0].address, 0x1234);
    EXPECT_EQ(image.records[0].data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(image.records[1].address, 0xFFFE);
    EXPECT_EQ(image.records[1].data, (std::vector<uint8_t>{0xAB, 0xCD}));
}

TEST(HexParse, RejectsMalformedFilesWithLineAndReason)
{
    const std::pair<std::string, std::string> cases[] = {
        {":020100001122CB\n" + kEnd, "line 1: checksum is 0xCB, should be 0xCA"},
        {kData, "no end record"},
        {kData + Record(0, 4, {0, 1}) + "\n" + kEnd, "line 2: record type 0x04 is not supported"},
        {kData.substr(0, 10) + "\n" + kEnd, "line 1: odd number"},
        {":10010000\n" + kEnd, "line 1: record is too short"},
        {kData + ":02010000112G00\n" + kEnd, "line 2: character at column 13 is not a hexadecimal"},
        {"\x01\xFF garbage\n" + kEnd, "line 1: record does not start with ':'"},
        {":030100001122330000\n" + kEnd, "line 1: byte count says 3 data bytes, the record holds 4"},
        {kEnd + kData, "line 2: text after the end record"},
        {Record(0, 1, {7}) + "\n", "line 1: end record carries data"},
        {Record(0xFFFF, 0, {1, 2}) + "\n" + kEnd, "line 1: data runs past the 64 KiB"},
    };
    for (const auto& [text, expected] : cases) {
        const HexImage image = ParseHex(text);
        EXPECT_TRUE(!image.ok && image.records.empty()) << text;
        EXPECT_NE(image.error.find(expected), std::string::npos) << "got: " << image.error << "\nfor: " << text;
    }
}

TEST(HexParse, OversizeAndUnreadableFilesAndOurFirmwareMark)
{
    // A huge file is refused by its size, without being read.
    const std::string huge = evtest::WriteFile("huge.hex", "");
    ASSERT_EQ(truncate(huge.c_str(), 1LL << 40), 0);
    EXPECT_NE(ReadHexFile(huge).error.find("larger than the limit"), std::string::npos);
    unlink(huge.c_str());
    EXPECT_NE(ReadHexFile(evtest::Scratch() + "/missing.hex").error.find("cannot open"), std::string::npos);
    EXPECT_NE(ReadHexFile(evtest::Scratch()).error.find("not a regular file"), std::string::npos);

    EXPECT_TRUE(IsSimulatedBoardFirmware(ReadHexFile(EVLINK_TEST_FIRMWARE)));
    EXPECT_FALSE(IsSimulatedBoardFirmware(ParseHex(kData + kEnd)));
    // The mark split over two records given out of address order still counts.
    const std::string mark(kSimulatedFirmwareMark);
    const std::string split = Record(0x210, 0, {mark.begin() + 10, mark.end()}) + "\n" +
                              Record(0x206, 0, {mark.begin(), mark.begin() + 10}) + "\n";
    EXPECT_TRUE(IsSimulatedBoardFirmware(ParseHex(split + kEnd)));
}

// Mutated and random inputs: always a defined answer, never a crash, and an
// accepted file only holds records that fit the address space.
TEST(HexParse, MutatedInputsGiveDefinedResults)
{
    std::mt19937 rng(12345);
    static const char kAlphabet[] = ":0123456789ABCDEFabcdefG\r\n \x00\xFF";
    auto any = [&] { return kAlphabet[rng() % (sizeof kAlphabet - 1)]; };
    const std::string good = Record(0, 0, {0x02, 0x00, 0x10}) + "\n" + kData + kEnd;
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text = round % 10 == 0 ? std::string() : good;
        for (int e = 0, edits = 1 + static_cast<int>(rng() % 4); e < edits; ++e) {
            const std::size_t at = text.empty() ? 0 : rng() % text.size();
            switch (rng() % 5) {
            case 0: if (!text.empty()) text[at] = any(); break;
            case 1: text.insert(text.begin() + static_cast<long>(at), any()); break;
            case 2: if (!text.empty()) text.erase(at, 1 + rng() % 8); break;
            case 3: text.resize(at); break;
            default: for (int i = 0; i < 40; ++i) text.push_back(any());
            }
        }
        const HexImage image = ParseHex(text);
        EXPECT_EQ(image.ok, image.error.empty());
        EXPECT_TRUE(image.ok || image.records.empty());
        for (const auto& r : image.records)
            EXPECT_LE(r.address + r.data.size(), 0x10000u);
        accepted += image.ok;
    }
    EXPECT_GT(accepted, 0);  // blank lines, trailing blanks and case keep a file valid
}
