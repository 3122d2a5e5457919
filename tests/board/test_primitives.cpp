// The device primitives through the real binding on the simulated board: the
// vendor requests they send, the frame image, and the bits read back.
#include "board/boardlink.h"
#include "board/declare.h"
#include "harness.h"
#include "platform/runtimeerror.h"

#include <gtest/gtest.h>

namespace {
struct FakePanel : PulseLdacSetting, FrameBitsView {
    bool ticked = true;
    int bits[24] = {};
    bool PulseLdacTicked() const override { return ticked; }
    void SetFrameBit(int i, int bit) override { bits[i] = bit; }
    std::string shown() const
    {
        std::string s;
        for (int i = 23; i >= 0; --i)
            s += char('0' + bits[i]);
        return s;
    }
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

TEST_P(Primitives, DacWritePicksThePulseRequestFromTheCheckBox)
{
    int16_t a = 0, r = 0;
    int32_t d = 0x8000;
    WriteFrame(a, r, d);
    panel.ticked = false;
    WriteFrame(a, r, d);
    panel.ticked = true;
    int16_t ca = 1, cr = 3;
    int32_t cd = 0;
    WriteFrame(ca, cr, cd);  // control register: never the pulse request
    State.ReadFlag = 1;
    WriteFrame(a, r, d);  // a read frame: never the pulse request
    State.ReadFlag = 0;
    EXPECT_EQ(harness::Requests(), (std::vector<std::string>{
                                       "request code=217 dir=0 value=0x0000 index=0x8000 length=0",
                                       "request code=221 dir=0 value=0x0000 index=0x8000 length=0",
                                       "request code=221 dir=0 value=0x0019 index=0x0000 length=0",
                                       "request code=221 dir=0 value=0x0080 index=0x8000 length=0",
                                   }));
    EXPECT_EQ(a, 0);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(d, 0x8000);
}

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

TEST_P(Primitives, PinWordAndAdcTransfers)
{
    WritePinControl();
    State.ClrPin = 0;
    WritePinControl();
    int32_t setup = 0xA000;
    ReadAdc(setup);
    const auto req = harness::Requests();
    ASSERT_EQ(req.size(), 3u);
    EXPECT_EQ(req[0], "request code=222 dir=0 value=0x009D index=0x0000 length=0");
    EXPECT_EQ(req[1], "request code=222 dir=0 value=0x0095 index=0x0000 length=0");
    EXPECT_EQ(req[2].rfind("request code=218 dir=1 value=0xA000 index=0x0000 length=2 -> ", 0), 0u);
    EXPECT_EQ(setup, 0xA000);
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

TEST(BitHelpers, ReverseBits8AndBufferDecoding)
{
    EXPECT_EQ(ReverseBits8(0x01), 0x80);
    EXPECT_EQ(ReverseBits8(0x0F), 0xF0);
    EXPECT_EQ(ReverseBits8(0xA5), 0xA5);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(ReverseBits8(ReverseBits8(static_cast<uint8_t>(b))), b);
}

TEST(BitHelpers, ShowFrameBitsPutsBit23AtTheLeft)
{
    FakePanel panel;
    AttachPanel(&panel, &panel);
    ShowFrameBits(0x800000);
    EXPECT_EQ(panel.shown(), "100000000000000000000000");
    ShowFrameBits(FrameImage(1, 3, 0, 0x1234));
    EXPECT_EQ(panel.shown(), "1" "0" "011" "000" "0001001000110100");
    ShowFrameBits(FrameImage(0, 0, 1, 0x8000));
    EXPECT_EQ(panel.shown(), "000000011000000000000000");
    AttachPanel(nullptr, nullptr);
}
}  // namespace

namespace {
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

TEST(BitHelpers, ReadBackMasksTheHeaderByteAndAdcKeepsAllSixteenBits)
{
    UseEdition(cannedEdition);
    canned = {0x1A, 0x01, 0x03};
    int16_t a = 2, r = 0;
    EXPECT_EQ(ReadRegister(a, r), 0x80C0);
    canned = {0x0F, 0x80};
    int32_t cmd = 0;
    EXPECT_EQ(ReadAdc(cmd), 0xF001);
    UseEdition(SecondEdition());
}
}  // namespace
