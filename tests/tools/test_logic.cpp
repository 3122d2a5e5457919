// The self-test's limits and pause, and the registry reads of the About box.
#include "board/adc.h"
#include "platform/registry.h"
#include "tools/selftest.h"
#include "tools/sysinfo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <tuple>

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

TEST(Registry, TextWithOrWithoutACountedZeroNumbersInDecimalAndFailuresEmptyTheText)
{
    constexpr uint32_t root = registry::kLocalMachine;
    registry::Clear();
    registry::SetText(root, "Software\\Tools", "Counted", "/usr/bin/tool", true);
    registry::SetText(root, "Software\\Tools", "Uncounted", "/usr/bin/tool", false);
    registry::SetNumber(root, "Software\\Tools", "Large", 0x80000001);
    registry::SetText(root, "Software\\Tools", "Long", std::string(1100, 'a'));
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"SOFTWARE\\TOOLS", "Counted", "/usr/bin/tool"}, {"Software\\Tools", "uncounted", "/usr/bin/tool"},
        {"Software\\Tools", "Large", "2147483649"},      {"Missing", "Counted", ""},
        {"Software\\Tools", "Absent", ""},               {"Software\\Tools", "Long", ""}};
    for (const auto& [key, name, expected] : cases) {
        std::string value = "stale";
        EXPECT_EQ(GetKeyValue(root, key, name, value), *expected != 0) << name;
        EXPECT_EQ(value, expected) << name;
    }
    EXPECT_EQ(registry::OpenKeyCount(), 0u) << "a key was left open";
}
