// Which board is in use: asked for by --simulate (keeping options already
// given), and named by the library once opened.
#include "board/boardlink.h"
#include "board/identity.h"
#include "harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {
TEST(Identity, SimulateAsksOnlyWhenGivenAndKeepsTheOptions)
{
    const std::string saved = std::getenv("EVLINK_SIM") != nullptr ? std::getenv("EVLINK_SIM") : "";
    const struct {
        std::vector<std::string> args;
        const char* before;  // null: unset
        const char* after;
    } rows[] = {
        {{"prog"}, nullptr, nullptr},
        {{"prog", "--simulate"}, nullptr, "only"},
        {{"prog", "-platform", "offscreen", "--simulate"}, "resolution=12", "resolution=12"},
        {{"prog", "--simulate"}, "absent", "absent"},
        {{"prog", "--simulated"}, nullptr, nullptr},
    };
    for (const auto& row : rows) {
        if (row.before != nullptr)
            setenv("EVLINK_SIM", row.before, 1);
        else
            unsetenv("EVLINK_SIM");
        EXPECT_EQ(SimulateIfAsked(row.args), row.args.back() == "--simulate");
        const char* now = std::getenv("EVLINK_SIM");
        EXPECT_EQ(now != nullptr, row.after != nullptr) << row.args.back();
        if (now != nullptr && row.after != nullptr) {
            EXPECT_STREQ(now, row.after);
        }
    }
    setenv("EVLINK_SIM", saved.c_str(), 1);
}

TEST(Identity, TheSimulatedBoardIsNamedOnEverySurface)
{
    harness::Setup(true);
    Board().ConnectStep();
    const BoardIdentity id = CurrentBoardIdentity();
    EXPECT_TRUE(id.simulated);
    EXPECT_EQ(id.text, "SIMULATED,only");
    EXPECT_EQ(id.serial, "SIMULATED");
    EXPECT_EQ(SimulatedBoardMark(), " (simulated board)");
}
}  // namespace
