#pragma once
// Code texts of the register panel.
#include "platform/numtext.h"

#include <cstdint>
#include <string>

// The hexadecimal text of a DAC code: upper-case two's-complement digits,
// widened with zeros to 3 digits at 12 bits and to 4 at 14 and 16 bits; a
// longer text stands unshortened.
std::string FormatHexCode(int32_t value, int resolutionBits);
// The same under the current ResolutionBits.
std::string FormatHexCode(int32_t value);

// The six output range texts, by range code 0..5.
extern const char* const kRangeTexts[6];

// Largest code at a resolution: 4095, 16383 or 65535.
int32_t LargestCode(int resolutionBits);
// The factor by which a code is left-justified into the 16-bit data field.
int32_t JustifyFactor(int resolutionBits);
