// One owner at a time: while a sweep or a self-test holds the board, every
// write operation is refused before it sends or changes anything, the
// holder's own work passes, and a second sweep or self-test is refused.
#include "board/boardlink.h"
#include "board/ops.h"
#include "board/owner.h"
#include "harness.h"

#include <gtest/gtest.h>

#include <functional>

namespace {
struct WriteCase {
    const char* name;
    std::function<void()> write;
};

class Ownership : public ::testing::Test {
protected:
    void SetUp() override
    {
        harness::Setup(true);
        Board().ConnectStep();
        SetBoardStartValues();
        harness::ClearTrace();
    }
    void TearDown() override { owner::Release(); }
};

TEST_F(Ownership, EveryWriteIsRefusedWithTheHoldersReasonAndSendsNothing)
{
    const WriteCase cases[] = {
        {"DAC code", [] { ops::WriteDacCode(0, 100); }},
        {"range", [] { ops::WriteRange(1, 4); }},
        {"control bit", [] { ops::SetControlBit(2, true); }},
        {"LOAD", [] { ops::SendLoad(); }},
        {"CLEAR", [] { ops::SendClear(); }},
        {"power bit", [] { ops::SetPowerBit(0, false); }},
        {"pin", [] { ops::SetPin(State.ClrPin, false); }},
        {"start-up traffic", [] { ops::StartUpTraffic(); }},
    };
    // A remote sweep or self-test refuses the program's windows; any of them
    // refuses a remote client's writes.
    struct Round {
        owner::Activity activity;
        owner::Side holder;
        owner::Side writer;
    };
    const Round rounds[] = {{owner::Activity::Sweep, owner::Side::Remote, owner::Side::Local},
                            {owner::Activity::SelfTest, owner::Side::Remote, owner::Side::Local},
                            {owner::Activity::Sweep, owner::Side::Remote, owner::Side::Remote},
                            {owner::Activity::Sweep, owner::Side::Local, owner::Side::Remote},
                            {owner::Activity::SelfTest, owner::Side::Local, owner::Side::Remote},
                            // A characterisation run refuses the windows that started it too.
                            {owner::Activity::Characterisation, owner::Side::Local, owner::Side::Local},
                            {owner::Activity::Characterisation, owner::Side::Remote, owner::Side::Local}};
    for (const auto& [activity, holder, writer] : rounds) {
        ASSERT_EQ(owner::Take(activity, holder), "");
        const owner::Acting acting(writer);
        const uint64_t changes = owner::PanelChanges();
        const std::string reason = activity == owner::Activity::Sweep      ? "a sweep is running"
                                   : activity == owner::Activity::SelfTest ? "the self-test is running"
                                                                           : "a characterisation run is under way";
        for (const WriteCase& c : cases) {
            SCOPED_TRACE(c.name);
            const ProgramState before = State;
            try {
                c.write();
                ADD_FAILURE() << "accepted";
            } catch (const owner::Refused& e) {
                EXPECT_EQ(e.what(), reason);
            }
            EXPECT_TRUE(harness::Requests().empty());
            EXPECT_EQ(State.PowerData, before.PowerData);
            EXPECT_EQ(State.ControlData, before.ControlData);
            EXPECT_EQ(State.ClrPin, before.ClrPin);
            EXPECT_EQ(State.KnownRange, before.KnownRange);
        }
        EXPECT_EQ(owner::PanelChanges(), changes);
        // Reads are answered; a second sweep or self-test is refused, whoever asks.
        EXPECT_NO_THROW(ops::ReadDacCode(0));
        for (const auto side : {owner::Side::Local, owner::Side::Remote})
            for (const auto again : {owner::Activity::Sweep, owner::Activity::SelfTest})
                EXPECT_EQ(owner::Take(again, side), reason);
        owner::Release();
        harness::ClearTrace();
    }
    // Free again: writes pass, and the windows' writes count as panel changes.
    const uint64_t changes = owner::PanelChanges();
    EXPECT_NO_THROW(ops::WriteDacCode(0, 100));
    EXPECT_EQ(harness::Requests().size(), 1u);
    EXPECT_EQ(owner::PanelChanges(), changes + 1);
    {
        const owner::Acting remote(owner::Side::Remote);
        ops::WriteDacCode(0, 100);
    }
    EXPECT_EQ(owner::PanelChanges(), changes + 1);
    // The windows keep writing during their own sweep, as they always did.
    ASSERT_EQ(owner::Take(owner::Activity::Sweep, owner::Side::Local), "");
    EXPECT_NO_THROW(ops::WriteRange(0, 1));
}

TEST_F(Ownership, TheHoldersOwnSweepAndSelfTestPassAndTheWatchersAreTold)
{
    int told = 0;
    const int id = owner::Watch([&] { ++told; });
    ASSERT_EQ(owner::Take(owner::Activity::Sweep, owner::Side::Local), "");
    EXPECT_TRUE(owner::HeldBy(owner::Side::Local));
    EXPECT_FALSE(owner::HeldBy(owner::Side::Remote));
    ops::StartSweepArrays();
    EXPECT_NO_THROW(ops::SweepStep(0));
    EXPECT_NO_THROW(ops::SweepStep(1));
    EXPECT_EQ(owner::Progress(), 2);
    owner::Release();
    owner::Release();  // nothing to give back: nobody told
    EXPECT_EQ(told, 2);
    ASSERT_EQ(owner::Take(owner::Activity::SelfTest, owner::Side::Remote), "");
    EXPECT_NO_THROW(ops::SelfTestChecks());
    owner::Unwatch(id);
    owner::Release();
    EXPECT_EQ(told, 3);
}
}  // namespace
