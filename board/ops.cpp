#include "ops.h"

#include "adc.h"
#include "owner.h"
#include "selftestlimits.h"
#include "runtime/numtext.h"

namespace ops {
namespace {
constexpr int16_t kDacRegister = 0;
constexpr int16_t kRangeRegister = 1;
constexpr int16_t kPowerRegister = 2;
constexpr int16_t kControlRegister = 3;
constexpr int16_t kFunctionAddress = 1;
constexpr int16_t kClearAddress = 4;
constexpr int16_t kLoadAddress = 5;
constexpr int16_t kAllChannels = 4;
constexpr int32_t kPowerUpAllDacs = 15;
constexpr int16_t kRangePlusMinus10V = 4;

void Header(int16_t reg, int16_t address, int16_t readFlag)
{
    State.RegisterSelect = reg;
    State.ChannelAddress = address;
    State.ReadFlag = readFlag;
}

// A read-back: the read frame, then the header put back for the image of the
// read frame with the value as its data, as every read handler shows it.
int32_t ReadBack(int16_t reg, int16_t address)
{
    Header(reg, address, 1);
    return ReadRegister(State.ChannelAddress, State.RegisterSelect);
}

void ShowReadFrame(int16_t reg, int16_t address, int32_t data)
{
    Header(reg, address, 1);
    State.RegisterData = FrameImage(1, reg, address, data);
    ShowFrameBits(State.RegisterData);
}

void SetBit(int32_t& word, int bit, bool on)
{
    if (on)
        word |= (1 << bit);
    else
        word &= ~(1 << bit);
}

// A frame of the self-test, through the ProgramState fields.
void SendFields(int16_t address, int16_t reg, int32_t data)
{
    State.ChannelAddress = address;
    State.RegisterSelect = reg;
    State.DataWord = data;
    State.ReadFlag = 0;
    WriteFrame(State.ChannelAddress, State.RegisterSelect, State.DataWord);
}

bool MeasureAllWithin(bool (*ok)(float))
{
    bool all = true;
    for (int channel = 0; channel < 4; ++channel)
        if (!ok(MeasureChannel(channel)))
            all = false;
    return all;
}
}  // namespace

int32_t LargestCode(int resolutionBits) { return (int32_t{1} << resolutionBits) - 1; }

int32_t JustifyFactor(int resolutionBits) { return resolutionBits == 12 ? 16 : resolutionBits == 14 ? 4 : 1; }

int32_t ClampCode(int32_t code, int resolutionBits)
{
    const int32_t largest = LargestCode(resolutionBits);
    if (code > largest)
        code = largest;
    if (code < 0)
        code = 0;
    return code;
}

void WriteDacCode(int16_t address, int32_t code)
{
    owner::CheckWrite();
    Header(kDacRegister, address, 0);
    State.DataWord = code * JustifyFactor(State.ResolutionBits);
    State.RegisterData = FrameImage(State.ReadFlag, State.RegisterSelect, State.ChannelAddress, State.DataWord);
    ShowFrameBits(State.RegisterData);
    WriteFrame(State.ChannelAddress, State.RegisterSelect, State.DataWord);
}

int32_t ReadDacCode(int16_t address)
{
    State.DataWord = ReadBack(kDacRegister, address);
    const int32_t factor = JustifyFactor(State.ResolutionBits);
    if (factor != 1)
        State.DataWord = RoundHalfEvenDiv(State.DataWord, factor);
    ShowReadFrame(kDacRegister, address, State.DataWord);
    return State.DataWord;
}

void WriteRange(int16_t address, int16_t rangeCode)
{
    owner::CheckWrite();
    Header(kRangeRegister, address, 0);
    State.RangeCode = rangeCode;
    State.RegisterData = FrameImage(0, kRangeRegister, address, State.RangeCode);
    ShowFrameBits(State.RegisterData);
    int32_t data = State.RangeCode;
    WriteFrame(State.ChannelAddress, State.RegisterSelect, data);
    if (address >= 0 && address < 4)
        State.KnownRange[static_cast<size_t>(address)] = rangeCode;
}

int32_t ReadRange(int16_t address)
{
    State.DataWord = ReadBack(kRangeRegister, address);
    if (address >= 0 && address < 4)
        State.KnownRange[static_cast<size_t>(address)] = State.DataWord <= 5 ? State.DataWord : -1;
    ShowReadFrame(kRangeRegister, address, State.DataWord);
    return State.DataWord;
}

void SetControlBit(int bit, bool on)
{
    owner::CheckWrite();
    Header(kControlRegister, kFunctionAddress, 0);
    SetBit(State.ControlData, bit, on);
    State.RegisterData = FrameImage(0, kControlRegister, kFunctionAddress, State.ControlData);
    ShowFrameBits(State.RegisterData);
    WriteFrame(State.ChannelAddress, State.RegisterSelect, State.ControlData);
}

int32_t ReadControl()
{
    State.ControlData = ReadBack(kControlRegister, kFunctionAddress);
    ShowReadFrame(kControlRegister, kFunctionAddress, State.ControlData);
    return State.ControlData;
}

namespace {
void SendCommand(int16_t address)
{
    owner::CheckWrite();
    State.ChannelAddress = address;
    State.RegisterSelect = kControlRegister;
    State.DataWord = 0;
    State.ReadFlag = 0;
    WriteFrame(State.ChannelAddress, State.RegisterSelect, State.DataWord);
}
}  // namespace

void SendLoad() { SendCommand(kLoadAddress); }
void SendClear() { SendCommand(kClearAddress); }

void SetPowerBit(int bit, bool on)
{
    owner::CheckWrite();
    Header(kPowerRegister, 0, 0);
    SetBit(State.PowerData, bit, on);
    State.RegisterData = FrameImage(0, kPowerRegister, 0, State.PowerData);
    ShowFrameBits(State.RegisterData);
    WriteFrame(State.ChannelAddress, State.RegisterSelect, State.PowerData);
}

int32_t ReadPower()
{
    const int32_t v = ReadBack(kPowerRegister, 0);
    State.DataWord = v;
    State.PowerData = v;
    ShowReadFrame(kPowerRegister, 0, State.DataWord);
    return v;
}

void SetPin(int16_t& pin, bool high)
{
    owner::CheckWrite();
    pin = high ? 1 : 0;
    WritePinControl();
}

void HoldLdacHigh() { SetPin(State.LdacPin, true); }

AllRegisters ReadAll()
{
    AllRegisters all;
    for (int16_t a = 0; a < 4; ++a)
        all.codes[static_cast<size_t>(a)] = ReadDacCode(a);
    all.power = ReadPower();
    all.control = ReadControl();
    for (int16_t a = 0; a < 4; ++a)
        all.ranges[static_cast<size_t>(a)] = ReadRange(a);
    FinishReadAll();
    return all;
}

void FinishReadAll()
{
    State.RegisterSelect = 0;
    State.ChannelAddress = 3;
    ShowFrameBits(0x800000);
}

AllRegisters StartUpTraffic()
{
    owner::CheckWrite();
    WritePinControl();
    HoldLdacHigh();
    AllRegisters all = ReadAll();
    SendAdcSetup();
    return all;
}

void SendAdcSetup()
{
    int32_t setup = kAdcSetupWord;
    ReadAdc(setup);
}

void StartSweepArrays()
{
    State.SampleCount = kSweepSamples;
    for (auto* volts : {&State.SweepVoltsA, &State.SweepVoltsB, &State.SweepVoltsC, &State.SweepVoltsD})
        volts->assign(static_cast<size_t>(State.SampleCount) + 1, 0.0f);
    // The conditions the analysis will take this sweep under, whoever started it.
    State.Sweep = SweepConditions{};
    State.Sweep.ranges = State.KnownRange;
    State.Sweep.twosComplement = State.BinPin == 0;
    State.Sweep.resolution = State.ResolutionBits;
    State.Sweep.started = std::chrono::system_clock::now();
    SweepChanged();
}

void SweepStep(int32_t i)
{
    const owner::OwnWork own;
    // The sweep's own address, register and data variables: ChannelAddress,
    // RegisterSelect and DataWord are not touched, and the code is not justified.
    State.ReadFlag = 0;
    for (int16_t a = 0; a < 4; ++a) {
        int16_t address = a;
        int16_t reg = kDacRegister;
        int32_t code = i;
        WriteFrame(address, reg, code);
    }
    const auto at = static_cast<size_t>(i);
    SweepChanged();
    State.SweepVoltsA[at] = MeasureChannel(0);
    State.SweepVoltsB[at] = MeasureChannel(1);
    State.SweepVoltsC[at] = MeasureChannel(2);
    State.SweepVoltsD[at] = MeasureChannel(3);
    State.Sweep.steps = i + 1;
    State.Sweep.lastStep = std::chrono::system_clock::now();
    owner::SetProgress(i + 1);
}

bool SelfTestChecks()
{
    const owner::OwnWork own;
    SendFields(0, kPowerRegister, kPowerUpAllDacs);
    WriteFrame(State.ChannelAddress, State.RegisterSelect, State.DataWord);  // the same frame again
    for (int16_t a = 0; a < 4; ++a) {
        SendFields(a, kRangeRegister, kRangePlusMinus10V);
        State.KnownRange[static_cast<size_t>(a)] = kRangePlusMinus10V;
    }
    bool pass = true;
    SendFields(kAllChannels, kDacRegister, 0);
    if (!MeasureAllWithin(selftest::ZeroScaleOk))
        pass = false;
    SendFields(kAllChannels, kDacRegister, 0xFFFF);
    if (!MeasureAllWithin(selftest::FullScaleOk))
        pass = false;
    return pass;
}

int RangeKnown(int channel) { return channel >= 0 && channel < 4 ? State.KnownRange[static_cast<size_t>(channel)] : -1; }

}  // namespace ops
