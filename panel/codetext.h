#pragma once
// Code texts of the register panel.
#include "board/ops.h"
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

// LargestCode and JustifyFactor belong to the board operations.
using ops::LargestCode;
using ops::JustifyFactor;
