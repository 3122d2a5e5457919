#include "runtime/numtext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

float AdcVolts(int code) { return static_cast<float>(code) * 20.0f / 8192.0f - 10.0f; }

TEST(HexText, EightSignificantDigitsAsA32BitPattern)
{
    EXPECT_EQ(HexToLong("FFFFFFFF"), -1);
    EXPECT_EQ(HexToLong("80000000"), INT32_MIN);
    EXPECT_EQ(HexToLong("000000000000ABCDef01"), static_cast<int32_t>(0xABCDEF01u));  // leading zeros do not count
    for (const char* text : {"", "   ", "123456789", "12G", "-1", "&hFF", "0x10", "1 2", " 12", "12 ", "\t1"})
        EXPECT_EQ(HexToLong(text), std::nullopt) << '"' << text << '"';
}

TEST(Val, TakesTheLongestLeadingNumber)
{
    const std::pair<std::string, double> cases[] = {
        {"12.5", 12.5}, {"-7", -7}, {"", 0}, {"abc", 0}, {"--3", 0}, {"1.2.3", 1.2}, {".5", 0.5}, {"1e3", 1000},
        {"1D2", 100}, {"2E-2", 0.02}, {"1e", 1}, {"1e+x", 1}, {"1 2 3", 123}, {" - 5", -5}, {"1 e 3", 1000},
        {"1\r2", 1}, {"  3.5  ", 3.5}, {"&H1F", 0}, {"&o17", 0}, {"-&H1", 0},
        // Beyond the double range either way, however long the digits or the exponent.
        {"1e400", kInf}, {"-1e400", -kInf}, {"1e99999999999999999999", kInf}, {"1e-400", 0},
        {std::string(400, '9'), kInf}, {"0." + std::string(400, '0') + "1e400", 0.1}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(Val(text), value) << '"' << text << '"';
}

TEST(Rounding, HalvesToEvenWithinThe32BitRange)
{
    const std::pair<double, std::optional<int32_t>> cases[] = {
        {12.5, 12}, {13.5, 14}, {-2.5, -2}, {-3.5, -4}, {2.5000001, 3}, {2147483647.4, 2147483647},
        {-2147483648.5, INT32_MIN}, {2147483647.5, std::nullopt}, {-2147483649.0, std::nullopt},
        {std::nan(""), std::nullopt}};
    for (const auto& [v, rounded] : cases)
        EXPECT_EQ(RoundToLong(v), rounded) << v;
    for (int32_t b : {1, 2, 3, 4, 16})
        for (int32_t a = -70000; a <= 70000; ++a)
            ASSERT_EQ(RoundHalfEvenDiv(a, b), RoundToLong(static_cast<double>(a) / b)) << a << " / " << b;
}

TEST(FormatVolts4, EveryAdcCodeAndNeverMinusZero)
{
    // (The panel's measurement test shows four codes' texts.)
    for (float nearZero : {-0.0f, -0.00004f, -1e-30f})
        EXPECT_EQ(FormatVolts4(nearZero), "0.0000") << nearZero;
    for (int code = 0; code < 8192; ++code) {
        const std::string text = FormatVolts4(AdcVolts(code));
        const size_t point = text.find('.');
        ASSERT_TRUE(text != "-0.0000" && point != std::string::npos && point > 0 && text.size() - point == 5) << text;
        ASSERT_LE(std::fabs(std::strtod(text.c_str(), nullptr) - AdcVolts(code)), 0.00005 + 1e-9) << code;
    }
}

// Any text in: a defined result, and the rules that do not depend on what
// the text means hold.
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
        const auto rounded = RoundToLong(v);
        ASSERT_TRUE(rounded ? std::fabs(*rounded - v) <= 0.5 : !(std::fabs(v) < 2147483647.5)) << text;
        if (const auto hex = HexToLong(text)) {
            ASSERT_EQ(HexToLong(HexDigits(*hex)), hex) << text;
            ASSERT_EQ(HexToLong("0" + text), hex) << text;  // leading zeros do not count
        }
    }
}

}  // namespace
