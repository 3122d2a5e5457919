// The self-test's limits and pause.
#include "board/adc.h"
#include "testwindow/selftest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

TEST(SelfTest, LimitsAtCodes81And8111AndAPauseThatSleeps)
{
    EXPECT_TRUE(selftest::ZeroScaleOk(AdcCodeToVolts(81)));
    EXPECT_FALSE(selftest::ZeroScaleOk(AdcCodeToVolts(82)));
    EXPECT_TRUE(selftest::FullScaleOk(AdcCodeToVolts(8111)));
    EXPECT_FALSE(selftest::FullScaleOk(AdcCodeToVolts(8110)));

    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpu = std::clock();
    selftest::WaitMoreThan(0.2);
    EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_LT(static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC, 0.05);  // slept, did not spin
}
