#pragma once
// Code texts of the register panel.
#include "board/ops.h"
#include "runtime/numtext.h"

#include <cstdint>
#include <string>

// The hexadecimal text of a DAC code: upper-case two's-complement digits,
// widened with zeros to 3 digits at 12 bits and to 4 at 14 and 16 bits; a
// longer text stands unshortened.
std::string FormatHexCode(int32_t value, int resolutionBits);
// The same under the current ResolutionBits.
std::string FormatHexCode(int32_t value);

// The text of an output range, by range code 0..5, as the range boxes show it.
std::string RangeText(int code);

// LargestCode and JustifyFactor belong to the board operations.
using ops::LargestCode;
using ops::JustifyFactor;
