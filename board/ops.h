#pragma once
// The board operations, each composed here once for every caller: the register
// panel's handlers, the test window and the remote-control server. Each sets
// the frame header fields of ProgramState, composes the frame image where the
// panel shows one (ShowFrameBits) and sends through the primitives of
// primitives.h, so that the traffic is the same whoever asks. No widgets.
//
// While a sweep or a self-test holds the board (owner.h), every operation
// that writes to it, other than the sweep step and the self-test sequence
// themselves, throws owner::Refused before it changes anything.
#include "primitives.h"

#include <array>
#include <cstdint>

namespace ops {

// Largest code at a resolution: 4095, 16383 or 65535.
int32_t LargestCode(int resolutionBits);
// The factor by which a code is left-justified into the 16-bit data field.
int32_t JustifyFactor(int resolutionBits);
// A code brought into 0 .. LargestCode(resolution).
int32_t ClampCode(int32_t code, int resolutionBits);

// ---- DAC registers
// Writes a code, already within the current resolution, to DAC `address`
// (0..3): left-justifies it into DataWord, shows and sends the frame.
void WriteDacCode(int16_t address, int32_t code);
// Reads DAC `address` back; the result is shifted down to the resolution.
int32_t ReadDacCode(int16_t address);

// ---- output ranges (register 1)
// RangeCode is the range last chosen; the frame carries it.
void WriteRange(int16_t address, int16_t rangeCode);
int32_t ReadRange(int16_t address);

// ---- control register (register 3, address 1); bit 3 TSD, 2 clamp, 1 CLR select, 0 SDO off
void SetControlBit(int bit, bool on);
int32_t ReadControl();
void SendLoad();
void SendClear();

// ---- power control register (register 2); bits 0..3 DAC A..D, 4 reference,
// 5 thermal alarm, 7..10 over-current A..D
void SetPowerBit(int bit, bool on);
int32_t ReadPower();

// ---- control pins
void SetPin(int16_t& pin, bool high);
// The board side of ticking "Pulse LDAC After data write": LDAC held high.
void HoldLdacHigh();

// ---- read-all: the reads in the panel's order, then the closing display.
struct AllRegisters {
    std::array<int32_t, 4> codes{};
    int32_t power = 0;
    int32_t control = 0;
    std::array<int32_t, 4> ranges{};
};
AllRegisters ReadAll();
void FinishReadAll();

// The start-up traffic of a program without a panel, once connected: the pin
// word, the pin word again for the LDAC pulse setting, read-all, ADC set-up.
AllRegisters StartUpTraffic();

// ---- measurement (one channel: MeasureChannel of adc.h)
void SendAdcSetup();

// ---- sweep: one step writes code i to the four DACs and measures them.
constexpr int32_t kSweepSamples = 65536;
void StartSweepArrays();
void SweepStep(int32_t i);

// ---- self-test, after the connection and the pause: power-up, +-10 V, zero
// and full scale measured. Returns true when every value was in its window.
bool SelfTestChecks();

// ---- what the operations last learned of each channel's range (-1: unknown)
int RangeKnown(int channel);

}  // namespace ops
