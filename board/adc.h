#pragma once
// Measuring one output with the on-board ADC: the channel's command word, then
// the word 0 that fetches the result; the low 13 bits are the code.
#include <cstdint>

constexpr int32_t kAdcSetupWord = 0xA000;
constexpr int32_t kAdcCodeMask = 0x1FFF;

// 0x8020, 0x8420, 0x8820, 0x8C20 for channels A to D.
constexpr int32_t AdcChannelCommand(int channel) { return 0x8020 + channel * 0x0400; }

// volts = code x 20 / 8192 - 10, in single precision (exact for every code).
float AdcCodeToVolts(int32_t code);

// Both transfers for one channel (0..3) through AdcCommand; AdcCommand is 0 afterwards.
float MeasureChannel(int channel);
