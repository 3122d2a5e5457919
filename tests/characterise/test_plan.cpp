// Plans: which codes each kind of plan measures, the plan's text both ways,
// and lists of codes from hostile files.
#include "characterise/plan.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

using namespace characterise;

namespace {

Plan Of(CodeSet set)
{
    Plan p;
    p.codes = set;
    return p;
}

TEST(CharacterisePlan, CodeSets)
{
    EXPECT_EQ(Codes(Of(CodeSet::All), 12).size(), 4096u);
    Plan every = Of(CodeSet::EveryNth);
    every.every = 1000;
    EXPECT_EQ(Codes(every, 12), (std::vector<int>{0, 1000, 2000, 3000, 4000, 4095}));  // the last code always
    every.every = 1024;
    EXPECT_EQ(Codes(every, 12), (std::vector<int>{0, 1024, 2048, 3072, 4095}));

    // Major carries: both sides of every carry into the top bits, of each
    // lower bit's first carry, and both ends.
    Plan carries = Of(CodeSet::MajorCarries);
    carries.carryBits = 2;
    EXPECT_EQ(Codes(carries, 4), (std::vector<int>{0, 1, 2, 3, 4, 7, 8, 11, 12, 15}));
    carries.carryBits = 6;
    const auto c16 = Codes(carries, 16);
    // 63 carries into the top 6 bits, the ten lower bits' first carries (0-1
    // and 1-2 share code 1), the ends (0 is among them already).
    EXPECT_EQ(c16.size(), 2u * 63 + 19 + 1);
    for (int j = 1; j < 64; ++j) {
        EXPECT_TRUE(std::binary_search(c16.begin(), c16.end(), j * 1024 - 1)) << j;
        EXPECT_TRUE(std::binary_search(c16.begin(), c16.end(), j * 1024)) << j;
    }
    EXPECT_EQ(c16.back(), 65535);

    // Random codes: the same seed the same codes, all new, all within range.
    carries.randomCodes = 100;
    const auto withRandom = Codes(carries, 16);
    EXPECT_EQ(withRandom.size(), c16.size() + 100);
    EXPECT_EQ(withRandom, Codes(carries, 16));
    EXPECT_EQ(std::set<int>(withRandom.begin(), withRandom.end()).size(), withRandom.size());
    carries.seed = 2;
    EXPECT_NE(Codes(carries, 16), withRandom);
    carries.randomCodes = 70000;  // more than there are: every code once
    EXPECT_EQ(Codes(carries, 12).size(), 4096u);

    // A list is measured as listed; codes beyond the resolution are left out.
    Plan list = Of(CodeSet::List);
    list.list = {300, 5, 5000, 4095};
    EXPECT_EQ(Codes(list, 12), (std::vector<int>{300, 5, 4095}));
}

TEST(CharacterisePlan, TextBothWays)
{
    Plan p;
    p.channel = 2;
    p.codes = CodeSet::EveryNth;
    p.every = 7;
    p.randomCodes = 3;
    p.seed = 99;
    p.settleMs = 0;
    p.readings = 5;
    p.nplc = 0.2;
    p.autoZero = meter::AutoZero::Once;
    p.setupStyle = meter::SetupStyle::Function;
    p.timeoutMs = 250;
    const std::string text = PlanText(p);
    EXPECT_EQ(text, "channel=C;codes=every:7;carry-bits=6;random=3;seed=99;settle-ms=0;readings=5;nplc=0.2;"
                    "autozero=ONCE;setup=func;digits=6.5;timeout-ms=250");
    Plan back;
    std::string why;
    ASSERT_TRUE(ParsePlanText(text, back, why)) << why;
    EXPECT_EQ(PlanText(back), text);

    // Only the items given change; anything wrong changes nothing.
    ASSERT_TRUE(ParsePlanText(" readings=2 ; codes=all ", back, why));
    EXPECT_EQ(back.readings, 2);
    EXPECT_EQ(back.codes, CodeSet::All);
    EXPECT_EQ(back.channel, 2);
    for (const char* bad : {"readings=0", "readings=1001", "channel=E", "codes=every:0", "codes=some", "nplc=x",
                            "autozero=on", "colour=red", "settle-ms=-1", "readings", "timeout-ms=5"}) {
        const Plan before = back;
        EXPECT_FALSE(ParsePlanText(std::string("seed=5;") + bad, back, why)) << bad;
        EXPECT_EQ(PlanText(back), PlanText(before)) << bad;
    }
}

TEST(CharacterisePlan, CodeLists)
{
    std::string why;
    const auto codes = ParseCodeList("# carries\n0x7FF\n2048  # mid\r\n\n  4095\n0\n", 12, why);
    ASSERT_TRUE(codes) << why;
    EXPECT_EQ(*codes, (std::vector<int>{2047, 2048, 4095, 0}));

    const std::pair<const char*, const char*> bad[] = {
        {"1\n2\n4096\n", "line 3: '4096' is not a code from 0 to 4095"},
        {"1\n-1\n", "line 2: '-1' is not a code"},
        {"1\n0x\n", "line 2: '0x' is not a code"},
        {"12 13\n", "line 1: '12 13' is not a code"},
        {"7\n8\n7\n", "line 3: code 7 is listed twice"},
        {"# nothing\n\n", "the list holds no codes"},
    };
    for (const auto& [text, message] : bad) {
        EXPECT_FALSE(ParseCodeList(text, 12, why)) << text;
        EXPECT_EQ(why.rfind(message, 0), 0u) << why;
    }
    EXPECT_FALSE(ParseCodeList(std::string((1u << 20) + 1, '1'), 16, why));

    const std::string file = std::string(QV_TEST_SCRATCH) + "/codes.txt";
    std::ofstream(file) << "1\n2\n";
    ASSERT_TRUE(ReadCodeListFile(file, 16, why)) << why;
    for (const std::string& path : {std::string(QV_TEST_SCRATCH), file + ".missing", std::string("/dev/zero")}) {
        EXPECT_FALSE(ReadCodeListFile(path, 16, why)) << path;
        EXPECT_EQ(why.rfind(path + ": ", 0), 0u) << why;
    }
}

}  // namespace
