#include "platform/numtext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

namespace {

float AdcVolts(int code) { return static_cast<float>(code) * 20.0f / 8192.0f - 10.0f; }

TEST(HexToLong, AcceptsUpToEightSignificantDigits)
{
    EXPECT_EQ(HexToLong("FFFFFFFF"), -1);
    EXPECT_EQ(HexToLong("80000000"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(HexToLong("7fffffff"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(HexToLong("fff"), 4095);
    EXPECT_EQ(HexToLong("1FFFF"), 0x1FFFF);
    EXPECT_EQ(HexToLong("0"), 0);
    EXPECT_EQ(HexToLong("000000000000ABCDef01"), static_cast<int32_t>(0xABCDEF01u));  // leading zeros do not count
    EXPECT_EQ(HexToLong("  8000\t"), 0x8000);
}

TEST(HexToLong, RejectsEverythingElse)
{
    for (const char* text : {"", "   ", "123456789", "1000000000", "12G", "-1", "+1", "&hFF", "0x10", "1 2", "FF."})
        EXPECT_EQ(HexToLong(text), std::nullopt) << '"' << text << '"';
}

TEST(Val, TakesTheLongestLeadingNumber)
{
    struct Case { const char* text; double value; };
    const Case cases[] = {
        {"12.5", 12.5}, {"-7", -7}, {"+3", 3}, {"70000", 70000}, {"4095", 4095},
        {"", 0}, {"abc", 0}, {"-", 0}, {".", 0}, {"--3", 0}, {"e5", 0},
        {"12abc", 12}, {"1.2.3", 1.2}, {".5", 0.5}, {"-.5", -0.5}, {"5.", 5},
        {"1e3", 1000}, {"1D2", 100}, {"2E-2", 0.02}, {"1e", 1}, {"1e+", 1}, {"1ex", 1},
        {"1 2 3", 123}, {" - 5", -5}, {"\n4\t0", 40}, {"1 e 3", 1000}, {"1\r2", 1},
        {"&HFF", 255}, {"&h ff", 255}, {"&HFFFFFFFF", -1}, {"&H8000", 32768}, {"&O17", 15},
        {"&o37777777777", -1}, {"&H123456789", 4886718345.0}, {"&", 0}, {"&X1", 0}, {"-&H1", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Val(c.text), c.value) << '"' << c.text << '"';
}

TEST(Val, ExtremeMagnitudes)
{
    EXPECT_EQ(Val("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Val("-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(Val("1e99999999999999999999"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Val(std::string(400, '9')), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Val("1e-400"), 0.0);
    EXPECT_EQ(Val("0e99999"), 0.0);
    EXPECT_EQ(Val("0." + std::string(400, '0') + "1e400"), 0.1);
}

TEST(RoundToLong, HalvesToEvenAndRangeLimits)
{
    EXPECT_EQ(RoundToLong(Val("12.5")), 12);
    EXPECT_EQ(RoundToLong(Val("13.5")), 14);
    EXPECT_EQ(RoundToLong(-2.5), -2);
    EXPECT_EQ(RoundToLong(-3.5), -4);
    EXPECT_EQ(RoundToLong(2.5000001), 3);
    EXPECT_EQ(RoundToLong(-0.4), 0);
    EXPECT_EQ(RoundToLong(2147483647.4), 2147483647);
    EXPECT_EQ(RoundToLong(-2147483648.5), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(RoundToLong(2147483647.5), std::nullopt);
    EXPECT_EQ(RoundToLong(-2147483649.0), std::nullopt);
    EXPECT_EQ(RoundToLong(std::nan("")), std::nullopt);
    EXPECT_EQ(RoundToLong(Val("1e400")), std::nullopt);
}

TEST(RoundHalfEvenDiv, AgreesWithRoundingTheQuotient)
{
    EXPECT_EQ(RoundHalfEvenDiv(0x0018, 16), 2);  // 1.5
    EXPECT_EQ(RoundHalfEvenDiv(0x0028, 16), 2);  // 2.5
    EXPECT_EQ(RoundHalfEvenDiv(0x8001, 4), 8192);
    EXPECT_EQ(RoundHalfEvenDiv(0xFFFC, 4), 0x3FFF);
    EXPECT_EQ(RoundHalfEvenDiv(0xFFFF, 16), 4096);
    for (int32_t b : {1, 2, 3, 4, 16}) {
        for (int32_t a = -70000; a <= 70000; ++a)
            ASSERT_EQ(RoundHalfEvenDiv(a, b), RoundToLong(static_cast<double>(a) / b)) << a << " / " << b;
    }
}

TEST(HexDigits, UpperCaseWithoutLeadingZeros)
{
    EXPECT_EQ(HexDigits(0), "0");
    EXPECT_EQ(HexDigits(0xABC), "ABC");
    EXPECT_EQ(HexDigits(-5), "FFFFFFFB");
}

TEST(FormatVolts4, AdcCodes)
{
    EXPECT_EQ(FormatVolts4(AdcVolts(0)), "-10.0000");
    EXPECT_EQ(FormatVolts4(AdcVolts(1)), "-9.9976");
    EXPECT_EQ(FormatVolts4(AdcVolts(4095)), "-0.0024");
    EXPECT_EQ(FormatVolts4(AdcVolts(4096)), "0.0000");
    EXPECT_EQ(FormatVolts4(AdcVolts(8191)), "9.9976");
    EXPECT_EQ(FormatVolts4(1234.5f), "1234.5000");
    for (float nearZero : {-0.0f, -0.00004f, -1e-30f, 0.00004f})
        EXPECT_EQ(FormatVolts4(nearZero), "0.0000") << nearZero;

    for (int code = 0; code < 8192; ++code) {
        const float v = AdcVolts(code);
        const std::string text = FormatVolts4(v);
        ASSERT_NE(text, "-0.0000");
        const size_t point = text.find('.');
        ASSERT_TRUE(point != std::string::npos && point > 0 && text.size() - point == 5) << text;
        ASSERT_LE(std::fabs(std::strtod(text.c_str(), nullptr) - v), 0.00005 + 1e-9) << code;
    }
}

TEST(SingleText, FileExamples)
{
    EXPECT_EQ(SingleText(-9.99755859375f), "-9.997559");
    EXPECT_EQ(SingleText(-10.0f), "-10");
    EXPECT_EQ(SingleText(0.0f), " 0");
    EXPECT_EQ(SingleText(-0.0f), " 0");
    EXPECT_EQ(SingleText(1.5f), " 1.5");
    EXPECT_EQ(SingleText(0.00244140625f), " 0.002441406");
    EXPECT_EQ(SingleText(65535.0f), " 65535");
    EXPECT_EQ(SingleText(9999999.0f), " 9999999");
    EXPECT_EQ(SingleText(12345678.0f), " 1.234568E+07");
    EXPECT_EQ(SingleText(-1.5e-9f), "-1.5E-09");
    EXPECT_EQ(SingleText(std::numeric_limits<float>::infinity()), " inf");
}

// Every ADC step: plain form, sign column, no trailing zeros, and the value
// printf gives when rounding to seven significant digits.
TEST(SingleText, EveryAdcCodeRoundTrips)
{
    for (int code = 0; code < 8192; ++code) {
        const float v = AdcVolts(code);
        const std::string text = SingleText(v);
        ASSERT_TRUE(text[0] == (v < 0 ? '-' : ' ')) << text;
        ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
        if (text.find('.') != std::string::npos) {
            ASSERT_TRUE(text.back() != '0' && text.back() != '.') << text;
        }
        if (std::fabs(v) < 1 && v != 0) {
            ASSERT_EQ(text.compare(1, 2, "0."), 0) << text;
        }
        char expected[32];
        std::snprintf(expected, sizeof expected, "%.6e", static_cast<double>(v));
        ASSERT_EQ(std::strtod(text.c_str(), nullptr), std::strtod(expected, nullptr)) << code << ' ' << text;
    }
}

// Any text in: a defined result, and the rules hold that do not depend on
// what the text means.
TEST(NumberTexts, RandomTexts)
{
    std::mt19937 rng(4816);
    const std::string alphabet = "0123456789abcdefABCDEF+-.eEdDhHoO& \t\nxG\r";
    std::uniform_int_distribution<int> length(0, 24), pick(0, 99), anyByte(0, 255);
    std::uniform_int_distribution<size_t> letter(0, alphabet.size() - 1);
    for (int round = 0; round < 100000; ++round) {
        std::string text;
        for (int i = length(rng); i > 0; --i)
            text += pick(rng) < 90 ? alphabet[letter(rng)] : static_cast<char>(anyByte(rng));

        const double v = Val(text);
        ASSERT_FALSE(std::isnan(v)) << text;
        ASSERT_EQ(Val(text + "x"), v) << text;  // nothing that follows a number changes it
        std::string spaced = text;
        spaced.insert(spaced.size() / 2, " \t");
        ASSERT_EQ(Val(spaced), v) << text;  // blanks count nowhere
        if (const auto rounded = RoundToLong(v)) {
            ASSERT_LE(std::fabs(*rounded - v), 0.5) << text;
        } else {
            ASSERT_FALSE(std::fabs(v) < 2147483647.5) << text;
        }

        if (const auto hex = HexToLong(text)) {
            ASSERT_EQ(HexToLong(HexDigits(*hex)), hex) << text;
            std::string padded = text;
            padded.insert(padded.find_first_not_of(" \t"), "0");
            ASSERT_EQ(HexToLong(padded), hex) << text;  // leading zeros do not count
        }
    }
}

}  // namespace
