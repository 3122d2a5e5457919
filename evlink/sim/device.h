#pragma once
// Model of the evaluation board's analogue side: the quad DAC with its serial
// frames, the three control pins the microcontroller drives (LDAC, CLR,
// BIN/2sCOMP) and the on-board ADC that measures the four outputs.
#include "noise.h"

#include <array>
#include <cstdint>

namespace evlink::sim {

// Serial frame fields.
constexpr uint32_t kFrameRead = 1u << 23;
constexpr unsigned kRegisterShift = 19;
constexpr unsigned kAddressShift = 16;

// Register select values and the addresses of register select 3.
enum Register : unsigned { kDacRegister = 0, kRangeRegister = 1, kPowerRegister = 2, kControlRegister = 3 };
enum Function : unsigned { kNoOperation = 0, kFunctionSwitches = 1, kClearCommand = 4, kLoadCommand = 5 };
constexpr unsigned kAllChannels = 4;

// Control-pin word bits.
constexpr uint8_t kPinBinary = 1u << 2;
constexpr uint8_t kPinClr = 1u << 3;
constexpr uint8_t kPinLdac = 1u << 4;

// Function switch bits and the writable power control bits.
constexpr uint16_t kControlBits = 0x000F;
constexpr uint16_t kClrSelect = 1u << 1;
constexpr uint16_t kPowerBits = 0x001F;  // DAC A to D and the reference
constexpr uint16_t kRangeBits = 0x0007;

// ADC command: start a conversion of the channel in bits 11 and 10.
constexpr uint16_t kAdcStart = 1u << 15;
constexpr unsigned kAdcChannelShift = 10;
constexpr int kAdcCodes = 8192;  // 13 bits over -10 V .. +10 V

// Static errors of the four outputs, the same on each; all 0 for an ideal part.
struct StaticErrors {
    double offsetMv = 0;  // added to every output
    double gainPpm = 0;   // the span scaled by 1 + gainPpm 1e-6 about its bottom
    double inlLsb = 0;    // a parabolic bow, this many LSB at mid code, 0 at both ends
    double dnlLsb = 0;    // codes from mid scale up moved by this many LSB
    double noiseMv = 0;   // Gaussian noise (standard deviation) on every ADC conversion
};

struct DeviceConfig {
    int resolution = 16;         // 16, 14 or 12
    uint16_t alarmBits = 0;      // status bits of the power control register
    uint8_t faultyChannels = 0;  // bit n: channel n's output stuck at 0 V
    StaticErrors errors;
};

class Device {
public:
    explicit Device(const DeviceConfig& config = {});

    // Shifts one 24-bit frame in and executes it; returns the 24 bits that
    // came out while it was shifted in (the register selected by the frame
    // before, or 0 when that was no read frame).
    uint32_t Frame(uint32_t bits);
    void PulseLdac();
    void SetPins(uint8_t word);
    // One ADC transfer: returns the result of the conversion the previous
    // command started, then starts the one this command asks for.
    uint16_t AdcTransfer(uint16_t command);

    double OutputVolts(unsigned channel) const;
    static uint16_t AdcCode(double volts);

    uint16_t InputRegister(unsigned channel) const { return input_[channel]; }
    uint16_t DacRegister(unsigned channel) const { return dac_[channel]; }
    uint16_t RangeRegister(unsigned channel) const { return range_[channel]; }
    uint16_t ControlRegister() const { return control_; }
    uint16_t PowerRegister() const { return static_cast<uint16_t>(power_ | alarmBits_); }
    uint8_t Pins() const { return pins_; }

private:
    uint16_t ReadBack(unsigned reg, unsigned address) const;
    void Write(unsigned reg, unsigned address, uint16_t data);
    void WriteDac(unsigned channel, uint16_t data);
    void LoadAll();
    void ClearAll();
    uint16_t ClearCode(unsigned channel) const;
    bool TwosComplement() const { return (pins_ & kPinBinary) == 0; }
    // Volts of a code (straight binary, 16 bits) on a span, with the static errors.
    double Transfer(double width, double bottom, uint16_t code) const;

    int resolution_;
    uint16_t dataMask_;
    StaticErrors errors_;
    GaussianNoise noise_;  // a fixed seed: runs repeat
    uint16_t alarmBits_;
    uint8_t faultyChannels_;
    std::array<uint16_t, 4> input_{};
    std::array<uint16_t, 4> dac_{};
    std::array<uint16_t, 4> range_{};
    uint16_t control_ = 0;
    uint16_t power_ = 0;
    uint8_t pins_ = 0xFF;
    uint32_t shiftOut_ = 0;
    uint16_t adcResult_ = 0;
};

}  // namespace evlink::sim
