// The USB identifiers: what EVLINK_USB_IDS accepts, and the udev rules that
// must name the built-in ones.
#include "usbids.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

using namespace evlink::usb;

TEST(UsbIds, OnePairOrBeforeAndAfterAndNothingElse) {
    EXPECT_EQ(ParseUsbIds("1234:abcd"), (UsbIds{{0x1234, 0xABCD}, {0x1234, 0xABCD}}));
    EXPECT_EQ(ParseUsbIds(" 0x1:0x2 , 3:4 "), (UsbIds{{1, 2}, {3, 4}}));
    for (const char* bad : {"", "1234", ":abcd", "12345:1", "12g4:0001", "1234:0001,", "1:2,3:4,5:6", "-1:2"})
        EXPECT_FALSE(ParseUsbIds(bad)) << bad;
}

// The rules must name exactly the identifiers the driver looks for, or a
// user who installed them still gets "permission denied".
TEST(UsbIds, UdevRulesCoverBothIdentifiers) {
    std::ifstream file(EVLINK_USB_RULES);
    ASSERT_TRUE(file) << EVLINK_USB_RULES;
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    for (UsbId id : {kBareBoardId, kLoadedBoardId}) {
        char rule[160];
        std::snprintf(rule, sizeof rule,
                      "ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\", MODE=\"0660\", GROUP=\"plugdev\", "
                      "TAG+=\"uaccess\"",
                      id.vendor, id.product);
        EXPECT_NE(text.find(rule), std::string::npos) << rule;
    }
}
