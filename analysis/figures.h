#pragma once
// The transfer of one channel and the figures a datasheet quotes for it, each
// with its uncertainty, or unknown with a note that says why.
//
// The figures work on what was measured at each position of the transfer:
// the mean of the readings, their standard deviation and how many there
// were. A sweep gives every position it reached (GroupSweep); a bench meter
// may give only some (Measured::Set), and then INL is given at each measured
// position and DNL only where the next position was measured too.
#include "ranges.h"

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace analysis {

// What took the readings.
struct Instrument {
    const char* name = "the board's ADC";  // as the notes name it
    double stepVolts = kAdcStepVolts;      // the smallest change one reading shows
    // The lowest and highest reading it can give: an output beyond them reads
    // as them (clipped). A meter without such limits: -inf and +inf.
    double lowVolts = kAdcLowVolts;
    double highVolts = kAdcHighVolts;
};

// The board's own ADC.
constexpr Instrument kBoardAdc{};

// Per position on the transfer (0 .. codes - 1): what was measured there.
struct Measured {
    Conditions conditions;
    Instrument instrument;
    std::vector<double> volts;    // the mean reading; NaN where nothing was measured
    std::vector<double> sigma;    // the readings' standard deviation (0 for one reading)
    std::vector<uint32_t> count;  // the number of readings; 0 where nothing was measured

    // Nothing measured yet, arrays sized for `conditions` (their storage kept).
    void Reset(const Conditions& conditions, const Instrument& instrument);
    // The readings at one position; ignored outside 0 .. codes - 1.
    void Set(int position, double mean, double sigma, uint32_t count);
};

// `readings`: volts at sweep index 0, 1, ... (a stopped sweep gives fewer
// than 65,536). Index i wrote code i >> (16 - resolution): at 12 bits each
// position gets the mean of 16 readings, and their spread.
void GroupSweep(std::span<const float> readings, const Conditions& conditions, Measured& into,
                const Instrument& instrument = kBoardAdc);

// A figure and its uncertainty: the value lies within value +- uncertainty
// (as far as the readings can tell). Both NaN when the data cannot give it.
struct Figure {
    double value = std::numeric_limits<double>::quiet_NaN();
    double uncertainty = std::numeric_limits<double>::quiet_NaN();

    bool known() const { return value == value; }
};

struct Figures {
    int codes = 0;                  // positions measured
    double lsbMv = 0;               // the ideal step
    double measurementStepLsb = 0;  // the instrument's step in LSB of this range and resolution
    Figure offsetErrorLsb;          // at the first position measured
    Figure offsetErrorMv;
    Figure gainErrorPercent;        // from the first to the last position in reach
    Figure zeroScaleErrorMv;        // at position 0
    Figure zeroScaleErrorLsb;
    Figure fullScaleErrorMv;        // at position codes - 1
    Figure fullScaleErrorLsb;
    Figure bipolarZeroErrorMv;      // at position codes / 2, bipolar ranges only
    Figure bipolarZeroErrorLsb;
    Figure inlEndpointMaxLsb;
    Figure inlBestfitMaxLsb;
    Figure dnlMinLsb;
    Figure dnlMaxLsb;
    int decreasingSteps = 0;        // consecutive positions measured where the output goes down
};

struct ChannelAnalysis : Measured {
    // Per position, NaN where absent or out of the instrument's reach: the
    // uncertainty of the mean reading (volts), the INL by both methods, and
    // the DNL of the step from the position to the next one.
    std::vector<double> uncertainty;
    std::vector<double> inlEndpoint;
    std::vector<double> inlBestfit;
    std::vector<double> dnl;
    Figures figures;
    // Plain-words sentences, without the channel's name: how the conditions
    // were found when that needs saying, every figure left unknown and why,
    // and what limits the figures that are given.
    std::vector<std::string> notes;
};

// The figures of what `a` holds as measured; `conditionsNote`, when given,
// comes first among the notes.
void Evaluate(ChannelAnalysis& a, std::string_view conditionsNote = {});

// A sweep's readings, grouped and evaluated.
ChannelAnalysis Analyse(std::span<const float> readings, const Conditions& conditions,
                        std::string_view conditionsNote = {});
// The same into `into`, reusing its arrays (a recomputation allocates nothing new).
void Analyse(std::span<const float> readings, const Conditions& conditions, ChannelAnalysis& into,
             std::string_view conditionsNote = {});

}  // namespace analysis
