// The device primitives through the real binding on the simulated board, where
// the panel's tests do not reach: a read's two frames and what it leaves in
// its caller's variables, overflow before anything is sent, and the decoding
// of the bytes read back. (The panel's tests check every frame and pin word.)
#include "board/boardlink.h"
#include "board/primitives.h"
#include "harness.h"
#include "runtime/runtimeerror.h"

#include <gtest/gtest.h>

namespace {
struct FakePanel : PulseLdacSetting, FrameBitsView {
    bool PulseLdacTicked() const override { return true; }
    void SetFrameBit(int, int) override {}
};

class Primitives : public ::testing::TestWithParam<bool> {
protected:
    FakePanel panel;
    void SetUp() override
    {
        harness::Setup(GetParam());
        Board().ConnectStep();
        AttachPanel(&panel, &panel);
        harness::ClearTrace();
    }
    void TearDown() override { AttachPanel(nullptr, nullptr); }
};

TEST_P(Primitives, ReadRegisterSendsTwoFramesAndLeavesTheNoOperationAddress)
{
    // Write 0x80C0 to DAC C, then read it back.
    int16_t a = 2, r = 0;
    int32_t d = 0x80C0;
    WriteFrame(a, r, d);
    int16_t ldac = 5, ctl = 3;
    int32_t zero = 0;
    WriteFrame(ldac, ctl, zero);  // LOAD, so the output register holds it too
    harness::ClearTrace();

    State.ChannelAddress = 2;
    State.RegisterSelect = 0;
    State.ReadFlag = 1;
    const int32_t v = ReadRegister(State.ChannelAddress, State.RegisterSelect);
    EXPECT_EQ(v, 0x80C0);
    EXPECT_EQ(State.ChannelAddress, 0);
    EXPECT_EQ(State.RegisterSelect, 3);
    EXPECT_EQ(State.ReadFlag, 0);
    const auto req = harness::Requests();
    ASSERT_EQ(req.size(), 2u);
    EXPECT_EQ(req[0], "request code=221 dir=0 value=0x0082 index=0x0000 length=0");
    EXPECT_EQ(req[1].rfind("request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> ", 0), 0u);
}

TEST_P(Primitives, SixteenBitOverflowRaisesBeforeAnythingIsSent)
{
    int16_t a = 0, r = 5000;  // 5000 x 8 leaves the 16-bit range
    int32_t d = 0;
    try {
        WriteFrame(a, r, d);
        FAIL() << "no overflow";
    } catch (const RunTimeError& e) {
        EXPECT_EQ(e.number(), 6);
        EXPECT_EQ(e.message(), "Run-time error '6':\n\nOverflow");
    }
    State.PinB7 = 300;  // 300 x 128
    EXPECT_THROW(WritePinControl(), RunTimeError);
    EXPECT_TRUE(harness::Requests().empty());
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, Primitives, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Second" : "First"; });

// A link that answers every read with fixed bytes, to check the decoding of
// the buffer exactly.
std::vector<uint8_t> canned;
struct CannedLink final : BoardLink {
    void ConnectStep() override {}
    int16_t VendorRequest(uint8_t, int32_t, int32_t, uint8_t direction, uint16_t length, uint8_t* buffer) override
    {
        if (direction == 1)
            for (uint16_t i = 0; i < length && i < canned.size(); ++i)
                buffer[i] = canned[i];
        return 0;
    }
    bool ClearsVerdictBeforeTest() const override { return false; }
};
const Edition cannedEdition{"QV4816X", 1, 1, 6, [] { return std::unique_ptr<BoardLink>(new CannedLink); }};

// (A register's three bytes are decoded in every read-back of the panel's tests.)
TEST(BitHelpers, AdcKeepsAllSixteenBits)
{
    UseEdition(cannedEdition);
    canned = {0x0F, 0x80};
    int32_t cmd = 0;
    EXPECT_EQ(ReadAdc(cmd), 0xF001);
    UseEdition(SecondEdition());
}
}  // namespace
