#include "device.h"

#include <algorithm>
#include <cmath>

namespace evlink::sim {
namespace {

struct Span {
    double width;   // volts from code 0 to code 65536
    double bottom;  // volts at code 0 (straight binary)
    bool bipolar;
};

// Range codes 0 to 5; 6 and 7 name no span.
constexpr std::array<Span, 6> kSpans{{
    {5.0, 0.0, false},     // +5V
    {10.0, 0.0, false},    // +10V
    {10.8, 0.0, false},    // +10.8V
    {10.0, -5.0, true},    // ±5V
    {20.0, -10.0, true},   // ±10V
    {21.6, -10.8, true},   // ±10.8V
}};

const Span* SpanOf(uint16_t range) { return range < kSpans.size() ? &kSpans[range] : nullptr; }

constexpr uint16_t kMidScale = 0x8000;

}  // namespace

Device::Device(const DeviceConfig& config)
    : resolution_(std::clamp(config.resolution, 12, 16)),
      dataMask_(static_cast<uint16_t>(0xFFFFu << (16 - resolution_))),
      errors_(config.errors),
      alarmBits_(config.alarmBits),
      faultyChannels_(config.faultyChannels)
{
}

uint32_t Device::Frame(uint32_t bits)
{
    const uint32_t out = shiftOut_;
    shiftOut_ = 0;
    const unsigned reg = (bits >> kRegisterShift) & 7;
    const unsigned address = (bits >> kAddressShift) & 7;
    if (bits & kFrameRead)
        shiftOut_ = (bits & 0xFF0000) | ReadBack(reg, address);
    else
        Write(reg, address, static_cast<uint16_t>(bits & 0xFFFF));
    return out;
}

uint16_t Device::ReadBack(unsigned reg, unsigned address) const
{
    switch (reg) {
    case kDacRegister:
        return address < kAllChannels ? input_[address] : 0;
    case kRangeRegister:
        return address < kAllChannels ? range_[address] : 0;
    case kPowerRegister:
        return address == 0 ? PowerRegister() : 0;
    case kControlRegister:
        return address == kFunctionSwitches ? control_ : 0;
    default:
        return 0;
    }
}

void Device::Write(unsigned reg, unsigned address, uint16_t data)
{
    switch (reg) {
    case kDacRegister:
        for (unsigned ch = 0; ch < kAllChannels; ++ch)
            if (address == ch || address == kAllChannels)
                WriteDac(ch, data);
        break;
    case kRangeRegister:
        for (unsigned ch = 0; ch < kAllChannels; ++ch)
            if (address == ch || address == kAllChannels)
                range_[ch] = data & kRangeBits;
        break;
    case kPowerRegister:
        if (address == 0)
            power_ = data & kPowerBits;
        break;
    case kControlRegister:
        if (address == kFunctionSwitches)
            control_ = data & kControlBits;
        else if (address == kClearCommand)
            ClearAll();
        else if (address == kLoadCommand)
            LoadAll();
        break;
    default:
        break;
    }
}

void Device::WriteDac(unsigned channel, uint16_t data)
{
    input_[channel] = data & dataMask_;
    if ((pins_ & kPinLdac) == 0)
        dac_[channel] = input_[channel];
}

void Device::LoadAll() { dac_ = input_; }

void Device::ClearAll()
{
    for (unsigned ch = 0; ch < kAllChannels; ++ch)
        input_[ch] = dac_[ch] = ClearCode(ch) & dataMask_;
}

uint16_t Device::ClearCode(unsigned channel) const
{
    // CLR select low: 0 V (zero scale unipolar, mid scale bipolar).
    // CLR select high: mid scale unipolar, negative full scale bipolar.
    const Span* span = SpanOf(range_[channel]);
    const bool bipolar = span != nullptr && span->bipolar;
    const bool select = (control_ & kClrSelect) != 0;
    uint16_t code = select != bipolar ? kMidScale : 0;
    if (bipolar && TwosComplement())
        code ^= kMidScale;
    return code;
}

void Device::PulseLdac() { LoadAll(); }

void Device::SetPins(uint8_t word)
{
    const bool ldacFalls = (pins_ & kPinLdac) != 0 && (word & kPinLdac) == 0;
    pins_ = word;
    if (ldacFalls)
        LoadAll();
}

double Device::OutputVolts(unsigned channel) const
{
    if (channel >= kAllChannels || (faultyChannels_ >> channel & 1) != 0 || (power_ >> channel & 1) == 0)
        return 0.0;
    const Span* span = SpanOf(range_[channel]);
    if (span == nullptr)
        return 0.0;
    uint16_t code = dac_[channel];
    if ((pins_ & kPinClr) == 0) {
        // The clear level: 0 V, or mid scale (unipolar) / negative full scale (bipolar).
        const bool select = (control_ & kClrSelect) != 0;
        code = select != span->bipolar ? kMidScale : 0;
    } else if (span->bipolar && TwosComplement()) {
        code ^= kMidScale;
    }
    return Transfer(span->width, span->bottom, code);
}

double Device::Transfer(double width, double bottom, uint16_t code) const
{
    double volts = width * code / 65536.0;
    if (errors_.gainPpm != 0)
        volts *= 1 + errors_.gainPpm * 1e-6;
    if (errors_.inlLsb != 0 || errors_.dnlLsb != 0) {
        const int top = (1 << resolution_) - 1;
        const double k = code >> (16 - resolution_);
        const double lsb = width / (top + 1);
        const double t = k / top;
        volts += errors_.inlLsb * lsb * 4 * t * (1 - t);
        if (code >= kMidScale)
            volts += errors_.dnlLsb * lsb;
    }
    return volts + bottom + errors_.offsetMv * 1e-3;
}

uint16_t Device::AdcCode(double volts)
{
    const double code = std::floor((volts + 10.0) * kAdcCodes / 20.0 + 0.5);
    return static_cast<uint16_t>(std::clamp(code, 0.0, static_cast<double>(kAdcCodes - 1)));
}

uint16_t Device::AdcTransfer(uint16_t command)
{
    const uint16_t out = adcResult_;
    if (command & kAdcStart) {
        const unsigned channel = (command >> kAdcChannelShift) & 3;
        // Bit 15 marks a finished conversion, bits 14 and 13 name its channel.
        double volts = OutputVolts(channel);
        if (errors_.noiseMv != 0)
            volts += errors_.noiseMv * 1e-3 * noise_.Next();
        adcResult_ = static_cast<uint16_t>(0x8000 | channel << 13 | AdcCode(volts));
    }
    return out;
}

}  // namespace evlink::sim
