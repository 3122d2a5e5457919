#include "primitives.h"

#include "boardlink.h"
#include "runtime/runtimeerror.h"

namespace {
PulseLdacSetting* pulseSetting = nullptr;
FrameBitsView* frameView = nullptr;
}  // namespace

void AttachPanel(PulseLdacSetting* pulse, FrameBitsView* bits)
{
    pulseSetting = pulse;
    frameView = bits;
}

void WriteFrame(int16_t& address, int16_t& reg, int32_t& data)
{
    const int16_t value = Int16(Int16(Int16(reg * 8LL) + static_cast<long long>(address)) +
                                static_cast<long long>(Int16(State.ReadFlag * 128LL)));
    const bool pulse = pulseSetting != nullptr && pulseSetting->PulseLdacTicked();
    const uint8_t code = (reg == 0 && State.ReadFlag == 0 && pulse) ? Request::FrameWithLdacPulse
                                                                    : Request::Frame;
    uint8_t zero[1] = {0};
    Board().VendorRequest(code, value, data, 0, 0, zero);
}

int32_t ReadRegister(int16_t& address, int16_t& reg)
{
    State.ReadFlag = 1;
    int32_t noData = 0;
    WriteFrame(address, reg, noData);
    address = 0;
    reg = 3;
    State.ReadFlag = 0;
    const int16_t value = Int16(reg * 8LL + address);
    Board().VendorRequest(Request::Frame, value, 0, 1, 3, State.ReadBuffer.data());
    const int32_t r0 = ReverseBits8(State.ReadBuffer[0]);
    const int32_t r1 = ReverseBits8(State.ReadBuffer[1]);
    const int32_t r2 = ReverseBits8(State.ReadBuffer[2]);
    return (r0 * 65536 + r1 * 256 + r2) & 0xFFFF;
}

void WritePinControl()
{
    // Summed left to right in 16-bit arithmetic, every step checked.
    int16_t word = Int16(State.PinB7 * 128LL);
    word = Int16(word + static_cast<long long>(Int16(State.PinB6 * 64LL)));
    word = Int16(word + static_cast<long long>(Int16(State.PinB5 * 32LL)));
    word = Int16(word + static_cast<long long>(Int16(State.LdacPin * 16LL)));
    word = Int16(word + static_cast<long long>(Int16(State.ClrPin * 8LL)));
    word = Int16(word + static_cast<long long>(Int16(State.BinPin * 4LL)));
    word = Int16(word + static_cast<long long>(State.PinB0));
    uint8_t zero[1] = {0};
    Board().VendorRequest(Request::PinControl, word, 0, 0, 0, zero);
}

int32_t ReadAdc(int32_t& command)
{
    Board().VendorRequest(Request::Adc, command, 0, 1, 2, State.ReadBuffer.data());
    const int32_t r0 = ReverseBits8(State.ReadBuffer[0]);
    const int32_t r1 = ReverseBits8(State.ReadBuffer[1]);
    return r0 * 256 + r1;
}

uint8_t ReverseBits8(uint8_t b)
{
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i)
        if (b & (1u << i))
            r |= static_cast<uint8_t>(1u << (7 - i));
    return r;
}

void ShowFrameBits(int32_t image)
{
    if (frameView == nullptr)
        return;
    for (int i = 0; i < 24; ++i)
        frameView->SetFrameBit(i, (image >> i) & 1);
}
