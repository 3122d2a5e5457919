#include "hexfile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <unistd.h>

using namespace evlink;

static const std::string kEnd = ":00000001FF\n";
static const std::string kData = ":020100001122CA\n";  // 0x11 0x22 at 0x0100

TEST(HexParse, RejectsMalformedFilesWithLineAndReason)
{
    const std::pair<std::string, std::string> cases[] = {
        {":020100001122CB\n" + kEnd, "line 1: checksum is 0xCB, should be 0xCA"},
        {kData, "no end record"},
        {kData + ":020000040001F9\n" + kEnd, "line 2: record type 0x04 is not supported"},
        {kData.substr(0, 10) + "\n" + kEnd, "line 1: odd number"},
        {":10010000\n" + kEnd, "line 1: record is too short"},
        {kData + ":02010000112G00\n" + kEnd, "line 2: character at column 13 is not a hexadecimal"},
        {":030100001122330000\n" + kEnd, "line 1: byte count says 3 data bytes, the record holds 4"},
        {kEnd + kData, "line 2: text after the end record"},
        {":0100000107F7\n", "line 1: end record carries data"},
        {":02FFFF000102FD\n" + kEnd, "line 1: data runs past the 64 KiB"},
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
    const std::string huge = EVLINK_TEST_SCRATCH "/huge.hex";
    std::ofstream{huge};
    ASSERT_EQ(truncate(huge.c_str(), 1LL << 40), 0);
    EXPECT_NE(ReadHexFile(huge).error.find("larger than the limit"), std::string::npos);
    unlink(huge.c_str());
    EXPECT_NE(ReadHexFile(huge).error.find("cannot open"), std::string::npos);
    EXPECT_NE(ReadHexFile(EVLINK_TEST_SCRATCH).error.find("not a regular file"), std::string::npos);
    // Our file holds the mark across two records.
    EXPECT_TRUE(IsSimulatedBoardFirmware(ReadHexFile(EVLINK_TEST_BUILD_DIR "/QV4816.hex")));
    EXPECT_FALSE(IsSimulatedBoardFirmware(ParseHex(kData + kEnd)));
}

// Line ends, blank lines, trailing blanks, lower case and the top address are
// accepted; mutations of that file always give a defined answer, never a
// crash, and an accepted file only holds records that fit the address space.
TEST(HexParse, GoodFileAndMutationsOfIt)
{
    const std::string good = "\r\n:03123400010203B1\r\n\n:02FFFE00abcd89\n" + kData + kEnd + "  \r\n\n";
    const HexImage image = ParseHex(good);
    ASSERT_TRUE(image.ok) << image.error;
    std::vector<std::pair<int, std::vector<uint8_t>>> records;
    for (const auto& r : image.records)
        records.emplace_back(r.address, r.data);
    EXPECT_EQ(records, (decltype(records){{0x1234, {1, 2, 3}}, {0xFFFE, {0xAB, 0xCD}}, {0x0100, {0x11, 0x22}}}));

    std::mt19937 rng(12345);
    static const char kAlphabet[] = ":0123456789ABCDEFabcdefG\r\n \x00\xFF";
    auto any = [&] { return kAlphabet[rng() % (sizeof kAlphabet - 1)]; };
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text = round % 10 == 0 ? std::string() : good;
        for (int e = 0, edits = 1 + static_cast<int>(rng() % 4); e < edits; ++e) {
            const std::size_t at = text.empty() ? 0 : rng() % text.size();
            switch (rng() % 5) {
            case 0: if (!text.empty()) text[at] = any(); break;
            case 1: text.insert(at, 1, any()); break;
            case 2: text.erase(at, 1 + rng() % 8); break;
            case 3: text.resize(at); break;
            default: for (int i = 0; i < 40; ++i) text.push_back(any());
            }
        }
        const HexImage mutated = ParseHex(text);
        EXPECT_EQ(mutated.ok, mutated.error.empty());
        EXPECT_TRUE(mutated.ok || mutated.records.empty());
        for (const auto& r : mutated.records)
            EXPECT_LE(r.address + r.data.size(), 0x10000u);
        accepted += mutated.ok;
    }
    EXPECT_GT(accepted, 0);  // blank lines, trailing blanks and case keep a file valid
}
