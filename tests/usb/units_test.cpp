// The USB driver's pure parts: the identifiers and the firmware's RAM layout.
#include "ramload.h"
#include "usbids.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace evlink;
using namespace evlink::usb;

namespace {

HexRecord Record(uint16_t address, std::size_t length, uint8_t first = 0) {
    HexRecord r;
    r.address = address;
    for (std::size_t i = 0; i < length; ++i) r.data.push_back(uint8_t(first + i));
    return r;
}

HexImage Image(std::vector<HexRecord> records) {
    HexImage image;
    image.records = std::move(records);
    image.ok = true;
    return image;
}

}  // namespace

TEST(UsbIds, AcceptsOnePairOrBeforeAndAfter) {
    EXPECT_EQ(ParseUsbIds("1234:abcd"), (UsbIds{{0x1234, 0xABCD}, {0x1234, 0xABCD}}));
    EXPECT_EQ(ParseUsbIds("04B4:8613,04b4:1004"), (UsbIds{{0x04B4, 0x8613}, {0x04B4, 0x1004}}));
    EXPECT_EQ(ParseUsbIds(" 0x1:0x2 , 3:4 "), (UsbIds{{1, 2}, {3, 4}}));
}

TEST(UsbIds, RejectsMalformedText) {
    for (const char* bad : {"", "1234", "1234:", ":abcd", "12345:1", "12g4:0001", "1234:0001,", "1234:0001,5",
                            "1:2,3:4,5:6", "-1:2"}) {
        EXPECT_FALSE(ParseUsbIds(bad)) << bad;
    }
}

// The rules must name exactly the identifiers the driver looks for, or a
// user who installed them still gets "permission denied".
TEST(UsbIds, UdevRulesCoverBothIdentifiers) {
    std::ifstream file(EVLINK_USB_RULES);
    ASSERT_TRUE(file) << EVLINK_USB_RULES;
    std::stringstream text;
    text << file.rdbuf();
    for (UsbId id : {kBareBoardId, kLoadedBoardId}) {
        char match[96];
        std::snprintf(match, sizeof match, "ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\"", id.vendor,
                      id.product);
        EXPECT_NE(text.str().find(match), std::string::npos) << match;
    }
    EXPECT_NE(text.str().find("TAG+=\"uaccess\""), std::string::npos);
    EXPECT_NE(text.str().find("GROUP=\"plugdev\""), std::string::npos);
}

TEST(RamLoad, JoinsRecordsAndSplitsAtOneKibibyte) {
    // 2576 contiguous bytes in 16-byte records, then a separate block.
    std::vector<HexRecord> records;
    for (uint16_t a = 0; a < 2576; a += 16) records.push_back(Record(a, 16, uint8_t(a)));
    records.push_back(Record(0x3000, 20, 0x40));
    const RamLoad load = PlanRamLoad(Image(records));
    ASSERT_TRUE(load.ok) << load.error;
    ASSERT_EQ(load.chunks.size(), 4u);
    const uint16_t addresses[] = {0x0000, 0x0400, 0x0800, 0x3000};
    const std::size_t sizes[] = {1024, 1024, 528, 20};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(load.chunks[i].address, addresses[i]);
        EXPECT_EQ(load.chunks[i].bytes.size(), sizes[i]);
    }
    // The bytes are those of the records at those addresses.
    EXPECT_EQ(load.chunks[1].bytes[0], 0x00);  // record 0x400, byte 0
    EXPECT_EQ(load.chunks[1].bytes[17], 0x11);  // record 0x410, byte 1
    EXPECT_EQ(load.chunks[3].bytes, Record(0x3000, 20, 0x40).data);
}

TEST(RamLoad, LaterRecordsWinAndOrderIsByAddress) {
    const RamLoad load = PlanRamLoad(Image({Record(0x0100, 4, 0x10), Record(0x0000, 4, 0xA0), Record(0x0102, 4, 0x50)}));
    ASSERT_TRUE(load.ok);
    ASSERT_EQ(load.chunks.size(), 2u);
    EXPECT_EQ(load.chunks[0], (RamChunk{0x0000, {0xA0, 0xA1, 0xA2, 0xA3}}));
    EXPECT_EQ(load.chunks[1], (RamChunk{0x0100, {0x10, 0x11, 0x50, 0x51, 0x52, 0x53}}));
}

TEST(RamLoad, RefusesDataOutsideTheRam) {
    // Last byte of the RAM: fine. One past it, the CPU control register, or
    // a record running off the end of the address space: refused.
    EXPECT_TRUE(PlanRamLoad(Image({Record(uint16_t(kRamEnd - 16), 16)})).ok);
    for (const HexRecord& r : {Record(uint16_t(kRamEnd - 15), 16), Record(kCpuControlAddress, 1), Record(0xFFF8, 16)}) {
        const RamLoad load = PlanRamLoad(Image({Record(0, 16), r}));
        EXPECT_FALSE(load.ok);
        EXPECT_TRUE(load.chunks.empty());
        EXPECT_NE(load.error.find("outside the microcontroller's RAM"), std::string::npos) << load.error;
    }
    EXPECT_FALSE(PlanRamLoad(Image({})).ok);
    EXPECT_FALSE(PlanRamLoad(Image({Record(0x10, 0)})).ok);
}
