#include "sim/device.h"

#include <gtest/gtest.h>

using namespace evlink::sim;

namespace {

using Codes = std::array<uint16_t, 4>;
constexpr uint32_t Write(unsigned reg, unsigned address, uint16_t data) { return reg << 19 | address << 16 | data; }
constexpr uint32_t kNop = Write(kControlRegister, kNoOperation, 0);
constexpr unsigned A = 0, B = 1, C = 2, D = 3, All = kAllChannels;
constexpr uint8_t kPinsLdacLow = 0x9D & ~kPinLdac;  // CLR and BIN high

uint16_t ReadBack(Device& d, unsigned reg, unsigned address)
{
    d.Frame(kFrameRead | Write(reg, address, 0));
    return static_cast<uint16_t>(d.Frame(kNop));
}

// The ADC codes of channels A to D, measured as the program measures them:
// the channel's command word, then word 0.
Codes Outputs(Device& d)
{
    Codes codes{};
    for (unsigned ch : {A, B, C, D}) {
        d.AdcTransfer(static_cast<uint16_t>(0x8020 | ch << 10));
        codes[ch] = d.AdcTransfer(0) & 0x1FFF;
    }
    return codes;
}

// All channels powered, one range everywhere, LDAC low so writes land at once.
Device Ready(unsigned range, const DeviceConfig& config = {})
{
    Device d(config);
    d.Frame(Write(kPowerRegister, 0, 0x0F));
    d.Frame(Write(kRangeRegister, All, static_cast<uint16_t>(range)));
    d.SetPins(kPinsLdacLow);
    return d;
}

}  // namespace

TEST(DeviceFrames, RegistersAddressesAndReadBack)
{
    Device d;
    d.Frame(Write(kDacRegister, All, 0xABCD));
    d.Frame(Write(kDacRegister, C, 0x1234));
    d.Frame(Write(kRangeRegister, All, 0xFFFF));  // three bits wide
    d.Frame(Write(kRangeRegister, B, 4));
    for (unsigned ch : {A, B, C, D}) {
        EXPECT_EQ(ReadBack(d, kDacRegister, ch), ch == C ? 0x1234 : 0xABCD);
        EXPECT_EQ(ReadBack(d, kRangeRegister, ch), ch == B ? 4 : 7);
    }
    d.Frame(Write(kPowerRegister, 0, 0xFFFF));
    EXPECT_EQ(ReadBack(d, kPowerRegister, 0), 0x001F);  // status bits are not writable
    d.Frame(Write(kControlRegister, kFunctionSwitches, 0xFFFF));
    EXPECT_EQ(ReadBack(d, kControlRegister, kFunctionSwitches), 0x000F);
    // The 24 bits out: the read frame's own top byte, then the register; the
    // clock-out frame is executed as well, and selects nothing.
    d.Frame(kFrameRead | Write(kDacRegister, C, 0));
    EXPECT_EQ(d.Frame(Write(kRangeRegister, A, 3)), 0x821234u);
    EXPECT_EQ(d.Frame(kNop), 0u);
    EXPECT_EQ(ReadBack(d, kRangeRegister, A), 3);
}

TEST(DeviceOutputs, LdacHoldsUntilPulseLoadOrFallingEdge)
{
    Device d = Ready(4);
    d.SetPins(kPinsLdacLow | kPinLdac);  // writes wait in the input register
    d.Frame(Write(kDacRegister, A, 0xFFFF));
    EXPECT_EQ(ReadBack(d, kDacRegister, A), 0xFFFF);
    EXPECT_EQ(Outputs(d), (Codes{0, 0, 0, 0}));
    d.PulseLdac();
    d.Frame(Write(kDacRegister, B, 0xFFFF));
    EXPECT_EQ(Outputs(d), (Codes{8191, 0, 0, 0}));
    d.Frame(Write(kControlRegister, kLoadCommand, 0));
    d.Frame(Write(kDacRegister, All, 0x8000));
    EXPECT_EQ(Outputs(d), (Codes{8191, 8191, 0, 0}));
    d.SetPins(kPinsLdacLow);  // the falling edge loads what waits
    d.Frame(Write(kDacRegister, D, 0));  // and now writes land at once
    EXPECT_EQ(Outputs(d), (Codes{4096, 4096, 4096, 0}));
}

TEST(DeviceOutputs, ClrPinAndClearCommandFollowClrSelect)
{
    Device d = Ready(4);
    d.Frame(Write(kRangeRegister, A, 0));  // A +5V, the others ±10V
    d.Frame(Write(kDacRegister, All, 0xFFFF));
    d.SetPins(kPinsLdacLow & ~kPinClr);  // CLR select low: 0 V
    EXPECT_EQ(Outputs(d), (Codes{4096, 4096, 4096, 4096}));
    d.Frame(Write(kControlRegister, kFunctionSwitches, kClrSelect));  // high: mid / negative full scale
    EXPECT_EQ(Outputs(d), (Codes{5120, 0, 0, 0}));
    d.SetPins(kPinsLdacLow);  // CLR back high: the registers were kept
    EXPECT_EQ(Outputs(d), (Codes{6144, 8191, 8191, 8191}));
    d.Frame(Write(kControlRegister, kClearCommand, 0));
    EXPECT_EQ(ReadBack(d, kDacRegister, A), 0x8000);
    EXPECT_EQ(Outputs(d), (Codes{5120, 0, 0, 0}));
    // CLR select low under two's complement: the code of 0 V is 0x0000.
    d.SetPins(kPinsLdacLow & ~kPinBinary);
    d.Frame(Write(kControlRegister, kFunctionSwitches, 0));
    d.Frame(Write(kControlRegister, kClearCommand, 0));
    EXPECT_EQ(ReadBack(d, kDacRegister, B), 0x0000);
}

TEST(DeviceOutputs, RangesCodingPowerFaultsAndTheAdc)
{
    struct { unsigned range; bool twos; uint16_t code; double volts; uint16_t adc; } cases[] = {
        {0, false, 0x8000, 2.5, 5120},  {1, false, 0xFFFF, 9.99985, 8191}, {2, false, 0x8000, 5.4, 6308},
        {3, false, 0x0000, -5.0, 2048}, {4, true, 0x0000, 0.0, 4096},      {4, true, 0x8000, -10.0, 0},
        {5, false, 0x0000, -10.8, 0},   {0, true, 0x8000, 2.5, 5120},  // unipolar ranges ignore the coding pin
        {6, false, 0xFFFF, 0.0, 4096},                                 // no such span: 0 V
    };
    for (const auto& c : cases) {
        Device d = Ready(c.range);
        d.SetPins(c.twos ? kPinsLdacLow & ~kPinBinary : kPinsLdacLow);
        d.Frame(Write(kDacRegister, All, c.code));
        EXPECT_NEAR(d.OutputVolts(C), c.volts, 1e-4) << "range " << c.range << " code " << c.code;
        EXPECT_EQ(Outputs(d)[C], c.adc) << "range " << c.range << " code " << c.code;
    }

    // Alarms show in the power register whatever is written; a faulty or
    // powered-down channel reads 0 V.
    Device d = Ready(1, DeviceConfig{16, 0x0020 | 0x0100, 1u << B});
    d.Frame(Write(kDacRegister, All, 0xFFFF));
    d.Frame(Write(kPowerRegister, 0, 0x1B));  // C powered down
    EXPECT_EQ(ReadBack(d, kPowerRegister, 0), 0x013B);
    EXPECT_EQ(Outputs(d), (Codes{8191, 4096, 4096, 8191}));
    // A conversion comes back with the next transfer, whatever that asks; a
    // command without bit 15 starts none. Bits 13 to 15: done, channel.
    EXPECT_EQ(d.AdcTransfer(0x8020 | B << 10), 0x8000 | D << 13 | 8191);
    EXPECT_EQ(d.AdcTransfer(0xA000), 0x8000 | B << 13 | 4096);
    EXPECT_EQ(d.AdcTransfer(0x2000), 0x8000 | A << 13 | 8191);  // the set-up word converted channel A
    EXPECT_EQ(d.AdcTransfer(0), 0x8000 | A << 13 | 8191);
}
