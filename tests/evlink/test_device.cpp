#include "sim/device.h"

#include <gtest/gtest.h>

using namespace evlink::sim;

namespace {

using Codes = std::array<uint16_t, 4>;
constexpr uint32_t Write(unsigned reg, unsigned address, uint16_t data) { return reg << 19 | address << 16 | data; }
constexpr unsigned A = 0, B = 1, C = 2, D = 3, All = kAllChannels;
constexpr uint8_t kPinsLdacLow = 0x9D & ~kPinLdac;  // CLR and BIN high

// A frame that follows no read frame clocks out zeros.
uint16_t ReadBack(Device& d, unsigned reg, unsigned address)
{
    EXPECT_EQ(d.Frame(kFrameRead | Write(reg, address, 0)), 0u);
    return static_cast<uint16_t>(d.Frame(Write(kControlRegister, kNoOperation, 0)));
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

// All channels powered, one range everywhere, by default LDAC low so that
// writes land at once.
Device Ready(unsigned range, uint8_t pins = kPinsLdacLow, const DeviceConfig& config = {})
{
    Device d(config);
    d.Frame(Write(kPowerRegister, 0, 0x0F));
    d.Frame(Write(kRangeRegister, All, static_cast<uint16_t>(range)));
    d.SetPins(pins);
    return d;
}

}  // namespace

TEST(DeviceOutputs, LdacHoldsUntilPulseLoadOrFallingEdge)
{
    Device d = Ready(4, kPinsLdacLow | kPinLdac);  // writes wait in the input register
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
    // The 24 bits out: the read frame's own top byte, then the register; the
    // clock-out frame (here CLEAR) is executed as well.
    d.Frame(kFrameRead | Write(kDacRegister, B, 0));
    EXPECT_EQ(d.Frame(Write(kControlRegister, kClearCommand, 0)), 0x81FFFFu);
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
        Device d = Ready(c.range, c.twos ? kPinsLdacLow & ~kPinBinary : kPinsLdacLow);
        d.Frame(Write(kDacRegister, All, c.code));
        EXPECT_NEAR(d.OutputVolts(C), c.volts, 1e-4) << "range " << c.range << " code " << c.code;
        EXPECT_EQ(Outputs(d)[C], c.adc) << "range " << c.range << " code " << c.code;
    }

    // The registers keep only their bits; alarms show in the power register
    // whatever is written; the function switches other than CLR select change
    // no output; a faulty or powered-down channel reads 0 V.
    Device d = Ready(0, kPinsLdacLow, DeviceConfig{16, 0x0020 | 0x0100, 1u << B, {}});
    d.Frame(Write(kRangeRegister, All, 0xFFF9));  // +10V
    d.Frame(Write(kPowerRegister, 0, 0xFFFB));    // C powered down
    d.Frame(Write(kControlRegister, kFunctionSwitches, 0xFFFD));
    d.Frame(Write(kDacRegister, All, 0xFFFF));
    EXPECT_EQ(ReadBack(d, kRangeRegister, D), 1);
    EXPECT_EQ(ReadBack(d, kPowerRegister, 0), 0x013B);
    EXPECT_EQ(ReadBack(d, kControlRegister, kFunctionSwitches), 0x000D);
    EXPECT_EQ(Outputs(d), (Codes{8191, 4096, 4096, 8191}));
    // A conversion comes back with the next transfer, whatever that asks; a
    // command without bit 15 starts none. Bits 13 to 15: done, channel.
    EXPECT_EQ(d.AdcTransfer(0x8020 | B << 10), 0x8000 | D << 13 | 8191);
    EXPECT_EQ(d.AdcTransfer(0xA000), 0x8000 | B << 13 | 4096);
    EXPECT_EQ(d.AdcTransfer(0x2000), 0x8000 | A << 13 | 8191);  // the set-up word converted channel A
    EXPECT_EQ(d.AdcTransfer(0), 0x8000 | A << 13 | 8191);
}
