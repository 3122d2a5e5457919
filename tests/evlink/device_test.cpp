#include "sim/device.h"

#include <gtest/gtest.h>

using namespace evlink::sim;

namespace {

constexpr uint32_t Write(unsigned reg, unsigned address, uint16_t data) { return reg << 19 | address << 16 | data; }
constexpr uint32_t Read(unsigned reg, unsigned address) { return 1u << 23 | reg << 19 | address << 16; }
constexpr uint32_t kNop = Write(3, 0, 0);
constexpr unsigned A = 0, B = 1, C = 2, D = 3, All = 4;
constexpr uint8_t kPinsStart = 0x9D;  // CLR, BIN and LDAC high
constexpr uint8_t kPinsLdacLow = kPinsStart & ~kPinLdac;

uint16_t ReadBack(Device& d, unsigned reg, unsigned address)
{
    d.Frame(Read(reg, address));
    return static_cast<uint16_t>(d.Frame(kNop));
}

// As the program measures: the channel's command word, then word 0.
uint16_t Measure(Device& d, unsigned channel)
{
    d.AdcTransfer(static_cast<uint16_t>(0x8020 | channel << 10));
    return d.AdcTransfer(0) & 0x1FFF;
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
    d.Frame(Write(kDacRegister, C, 0x1234));
    EXPECT_EQ(ReadBack(d, kDacRegister, C), 0x1234);
    EXPECT_EQ(ReadBack(d, kDacRegister, B), 0);
    d.Frame(Write(kDacRegister, All, 0xABCD));
    d.Frame(Write(kRangeRegister, B, 4));
    for (unsigned ch : {A, B, C, D}) {
        EXPECT_EQ(ReadBack(d, kDacRegister, ch), 0xABCD);
        EXPECT_EQ(ReadBack(d, kRangeRegister, ch), ch == B ? 4 : 0);
    }
    d.Frame(Write(kRangeRegister, All, 0xFFFF));  // three bits wide
    EXPECT_EQ(ReadBack(d, kRangeRegister, D), 7);
    d.Frame(Write(kPowerRegister, 0, 0xFFFF));
    EXPECT_EQ(ReadBack(d, kPowerRegister, 0), 0x001F);  // status bits are not writable
    d.Frame(Write(kControlRegister, kFunctionSwitches, 0xFFFF));
    EXPECT_EQ(ReadBack(d, kControlRegister, kFunctionSwitches), 0x000F);
    // The 24 bits out: the read frame's own top byte, then the register; the
    // clock-out frame is executed as well.
    d.Frame(Read(kDacRegister, C));
    EXPECT_EQ(d.Frame(Write(kRangeRegister, A, 3)), 0x82ABCDu);
    EXPECT_EQ(d.Frame(kNop), 0u);  // nothing selected any more
    EXPECT_EQ(ReadBack(d, kRangeRegister, A), 3);
}

TEST(DeviceOutputs, LdacHoldsUntilPulseLoadOrFallingEdge)
{
    Device d = Ready(4);
    d.SetPins(kPinsStart);  // LDAC high: writes wait in the input register
    d.Frame(Write(kDacRegister, A, 0xFFFF));
    EXPECT_EQ(ReadBack(d, kDacRegister, A), 0xFFFF);  // read-back shows what was written
    EXPECT_EQ(Measure(d, A), 0);
    d.PulseLdac();
    EXPECT_EQ(Measure(d, A), 8191);
    d.Frame(Write(kDacRegister, A, 0x8000));
    EXPECT_EQ(Measure(d, A), 8191);
    d.Frame(Write(kControlRegister, kLoadCommand, 0));
    EXPECT_EQ(Measure(d, A), 4096);
    d.Frame(Write(kDacRegister, All, 0));
    EXPECT_EQ(Measure(d, A), 4096);
    d.SetPins(kPinsLdacLow);  // the falling edge loads what waits
    EXPECT_EQ(Measure(d, A), 0);
    d.Frame(Write(kDacRegister, B, 0xFFFF));  // LDAC low: at once
    EXPECT_EQ(Measure(d, B), 8191);
}

TEST(DeviceOutputs, ClrPinAndClearCommandFollowClrSelect)
{
    Device d = Ready(4);
    d.Frame(Write(kRangeRegister, A, 0));  // A +5V, B ±10V
    d.Frame(Write(kDacRegister, All, 0xFFFF));
    d.SetPins(kPinsLdacLow & ~kPinClr);  // CLR select low: 0 V
    EXPECT_EQ(Measure(d, A), 4096);
    EXPECT_EQ(Measure(d, B), 4096);
    d.Frame(Write(kControlRegister, kFunctionSwitches, kClrSelect));  // high: mid / negative full scale
    EXPECT_EQ(Measure(d, A), 5120);
    EXPECT_EQ(Measure(d, B), 0);
    d.SetPins(kPinsLdacLow);  // CLR back high: the registers were kept
    EXPECT_EQ(Measure(d, A), 6144);
    EXPECT_EQ(Measure(d, B), 8191);

    d.Frame(Write(kControlRegister, kClearCommand, 0));
    EXPECT_EQ(ReadBack(d, kDacRegister, A), 0x8000);
    EXPECT_EQ(Measure(d, A), 5120);
    EXPECT_EQ(Measure(d, B), 0);
    // CLR select low under two's complement: the code of 0 V is 0x0000.
    d.SetPins(kPinsLdacLow & ~kPinBinary);
    d.Frame(Write(kControlRegister, kFunctionSwitches, 0));
    d.Frame(Write(kControlRegister, kClearCommand, 0));
    EXPECT_EQ(ReadBack(d, kDacRegister, B), 0x0000);
}

TEST(DeviceOutputs, RangesAndCodingToVoltsToAdcCodes)
{
    struct Case {
        unsigned range;
        bool twos;
        uint16_t code;
        double volts;
        uint16_t adc;
    } cases[] = {
        {0, false, 0x8000, 2.5, 5120},  {1, false, 0xFFFF, 9.99985, 8191}, {2, false, 0x8000, 5.4, 6308},
        {3, false, 0x0000, -5.0, 2048}, {4, false, 0x8000, 0.0, 4096},     {4, false, 0x0000, -10.0, 0},
        {4, true, 0x0000, 0.0, 4096},   {4, true, 0x8000, -10.0, 0},       {4, true, 0x7FFF, 9.9997, 8191},
        {5, false, 0x0000, -10.8, 0},   {5, false, 0xFFFF, 10.7997, 8191},
        {0, true, 0x8000, 2.5, 5120},   // unipolar ranges ignore the coding pin
        {6, false, 0xFFFF, 0.0, 4096},  // no such span: 0 V
    };
    for (const auto& c : cases) {
        Device d = Ready(c.range);
        d.SetPins(c.twos ? kPinsLdacLow & ~kPinBinary : kPinsLdacLow);
        d.Frame(Write(kDacRegister, C, c.code));
        EXPECT_NEAR(d.OutputVolts(C), c.volts, 1e-4) << "range " << c.range << " code " << c.code;
        EXPECT_EQ(Measure(d, C), c.adc) << "range " << c.range << " code " << c.code;
    }

    Device d = Ready(1);
    d.Frame(Write(kDacRegister, All, 0xFFFF));
    d.Frame(Write(kPowerRegister, 0, 0x1B));  // C powered down
    EXPECT_EQ(Measure(d, C), 4096);
    EXPECT_EQ(Measure(d, D), 8191);
    // A conversion comes back with the next transfer, whatever that asks;
    // bits 13 to 15 are never all zero.
    EXPECT_EQ(d.AdcTransfer(0x8020 | C << 10) & 0x1FFF, 8191);
    const uint16_t c = d.AdcTransfer(0xA000);
    EXPECT_EQ(c & 0x1FFF, 4096);
    EXPECT_NE(c & 0xE000, 0);
    EXPECT_EQ(d.AdcTransfer(0) & 0x1FFF, 8191);  // the set-up word converted channel A
}

TEST(DeviceOptions, NarrowPartsAlarmsAndFaultyChannel)
{
    for (auto [bits, mask] : {std::pair{14, 0xFFFC}, std::pair{12, 0xFFF0}}) {
        Device d(DeviceConfig{bits});
        d.Frame(Write(kDacRegister, All, 0x1235));
        EXPECT_EQ(ReadBack(d, kDacRegister, D), 0x1235 & mask);
    }

    DeviceConfig config;
    config.alarmBits = 0x0020 | 0x0100;  // thermal, over-current B
    config.faultyChannels = 1u << B;
    Device d = Ready(4, config);
    EXPECT_EQ(ReadBack(d, kPowerRegister, 0), 0x012F);
    d.Frame(Write(kDacRegister, All, 0xFFFF));
    EXPECT_EQ(Measure(d, A), 8191);
    EXPECT_EQ(Measure(d, B), 4096);
    d.Frame(Write(kPowerRegister, 0, 0));
    EXPECT_EQ(ReadBack(d, kPowerRegister, 0), 0x0120);
}
