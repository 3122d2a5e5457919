// The data file's lines as the writer writes them.
#include "analysis/datafile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

using analysis::AppendDataLine;
using analysis::SingleText;

namespace {
float AdcVolts(int code) { return static_cast<float>(code) * 20.0f / 8192.0f - 10.0f; }
}  // namespace

TEST(DataLine, HasFiveFieldsWithSignSpacesAndEndsInCrLf)
{
    std::string text;
    AppendDataLine(text, 1, -9.99755859375f, -10.0f, 0.0f, 1.5f);
    // The smallest steps either side of 0 V, and a magnitude just under 0.1 V.
    AppendDataLine(text, 65535, 0.00244140625f, -0.00244140625f, 0.09765625f, -0.0f);
    EXPECT_EQ(text, " 1,-9.997559,-10, 0, 1.5\r\n 65535, 0.002441406,-0.002441406, 0.09765625, 0\r\n");
}

TEST(SingleText, SignColumnSevenDigitsPlainOrExponent)
{
    const std::pair<float, const char*> cases[] = {
        {-10.0f, "-10"}, {-0.0f, " 0"}, {0.00244140625f, " 0.002441406"}, {9999999.0f, " 9999999"},
        {12345678.0f, " 1.234568E+07"}, {-1.5e-9f, "-1.5E-09"}, {std::numeric_limits<float>::infinity(), " inf"}};
    for (const auto& [v, text] : cases)
        EXPECT_EQ(SingleText(v), text) << v;
    // Every ADC step and other values of the sweep's range: plain form, no
    // trailing zeros, the value rounded to seven significant digits.
    for (int i = 0; i < 16384; ++i) {
        const float v = i < 8192 ? AdcVolts(i) : std::sin(static_cast<float>(i)) * 12.0f;
        const std::string text = SingleText(v);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%.6e", static_cast<double>(v));
        ASSERT_EQ(text[0], v < 0 ? '-' : ' ') << text;
        ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
        ASSERT_TRUE(text.find('.') == std::string::npos || (text.back() != '0' && text.back() != '.')) << text;
        ASSERT_EQ(std::strtod(text.c_str(), nullptr), std::strtod(expected, nullptr)) << i << ' ' << text;
    }
}
