#pragma once
// The device command primitives. Every frame, register read-back, control-pin
// word and ADC transfer passes through the five primitives below, each exactly
// one or two vendor requests.
#include "state.h"

#include <cstdint>

// What the primitives need of the register panel, kept behind two narrow
// interfaces so that the board link does not depend on widgets.
class PulseLdacSetting {
public:
    virtual ~PulseLdacSetting() = default;
    // The state of "Pulse LDAC After data write", read at every frame.
    virtual bool PulseLdacTicked() const = 0;
};

class FrameBitsView {
public:
    virtual ~FrameBitsView() = default;
    // Shows bit i (0..23) of the frame image as 0 or 1.
    virtual void SetFrameBit(int i, int bit) = 0;
};

void AttachPanel(PulseLdacSetting* pulse, FrameBitsView* bits);

// Vendor request codes.
namespace Request {
constexpr uint8_t FrameWithLdacPulse = 217;
constexpr uint8_t Adc = 218;
constexpr uint8_t Frame = 221;
constexpr uint8_t PinControl = 222;
}  // namespace Request

void WriteFrame(int16_t& address, int16_t& reg, int32_t& data);
int32_t ReadRegister(int16_t& address, int16_t& reg);
void WritePinControl();
int32_t ReadAdc(int32_t& command);
uint8_t ReverseBits8(uint8_t b);
void ShowFrameBits(int32_t image);

// The frame image: R/W x 2^23 + register x 2^19 + address x 2^16 + data.
constexpr int32_t FrameImage(int readFlag, int reg, int address, int32_t data)
{
    return readFlag * 8388608 + reg * 524288 + address * 65536 + data;
}
