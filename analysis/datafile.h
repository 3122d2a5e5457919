#pragma once
// The sweep data file: one line per sweep index, "index,A,B,C,D", each line
// ending in CR LF as written (LF alone is read too).
#include "ranges.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace analysis {

// ---- writing

// The four channels' samples of a sweep, A to D.
using SweepSamples = std::array<std::span<const float>, kChannels>;

// A single-precision number as the data file writes it: " " in front of zero
// or a positive value, "-" in front of a negative one, rounded to at most seven
// significant digits, no trailing zeros, no point for whole numbers, "0" before
// the point below 1. Plain form while the rounded value lies between 1E-08 and
// 9999999 in magnitude (every ADC step and every sample index among them);
// outside that the exponent form: mantissa, "E", a signed two-digit exponent
// (" 1.5E+07", "-2.441406E-09"). Infinity and NaN give " inf", "-inf", " nan".
std::string SingleText(float v);

// " 1,-9.997559,-10, 0, 1.5" and CR LF.
void AppendDataLine(std::string& out, int32_t index, float a, float b, float c, float d);

// Every line of a sweep, index 0 up to the shortest channel's length.
std::string DataFileText(const SweepSamples& samples);

// ---- reading

struct SweepData {
    // Volts of channels A to D per swept index; all four the same length.
    std::array<std::vector<float>, kChannels> volts;
    size_t lines = 0;     // lines read, the unswept ones included
    size_t zeroTail = 0;  // the trailing lines whose four voltages are all exactly 0
    size_t bytes = 0;     // the text's size and DataChecksum, to match a companion file with
    std::string checksum;

    size_t samples() const { return volts[0].size(); }
    size_t unswept() const { return lines - samples(); }
    // As a sweep of `steps` steps recorded it: the first `steps` lines are
    // swept (at most the lines read), the rest not.
    void TakeSteps(size_t steps);
};

struct ReadError {
    size_t line = 0;  // 1-based; 0 when the file itself could not be read
    std::string what;

    // "line 12: expected 5 fields, found 4"
    std::string Text() const;
};

// Largest file taken (a full sweep's file is about 3.5 MB).
constexpr size_t kMaxFileBytes = 16u << 20;

// Reads the text of a data file. The indexes must run 0, 1, 2, ... (at most
// 65,536 lines), every line must end in a line end (a last line without one
// was cut short), and every field must be a number as the writer writes it:
// a space or "-", digits with at most one ".", an optional exponent; no
// infinities, no NaN. False, with `error` naming the line, for a malformed
// text; a header line of names gets a message that says so.
//
// A stopped sweep's file ends in lines whose four voltages are all exactly
// 0. Without the sweep's record of its steps, that trailing run is taken as
// not swept (and left out of `volts`) only where the line before it has a
// reading away from 0 by more than two of the ADC's steps: a board whose
// outputs read 0 V, powered down, reads zeros as well.
bool ReadSweepText(std::string_view text, SweepData& data, ReadError& error);

// The same for a file on disk. Anything but a regular file (a FIFO, a
// device, a directory) is refused before it is opened, so that reading it
// cannot hang.
bool ReadSweepFile(const std::string& path, SweepData& data, ReadError& error);

// The whole of a regular file of at most `maxBytes`, refused as above
// otherwise. False, with `why` ("cannot open: ...", "cannot read: it is a
// FIFO ..."), on failure; `missing` tells a file that does not exist.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& text, std::string& why,
                     bool* missing = nullptr);

}  // namespace analysis
