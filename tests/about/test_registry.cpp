// The registry reads of the About box.
#include "about/registry.h"
#include "about/sysinfo.h"

#include <gtest/gtest.h>

#include <tuple>

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
