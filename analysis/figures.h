#pragma once
// The transfer of one channel and the figures a datasheet quotes for it.
#include "ranges.h"

#include <span>
#include <vector>

namespace analysis {

// Every figure is NaN when the data cannot give it (too few codes, or an
// output that does not move from the first code to the last).
struct Figures {
    int codes = 0;                  // codes present in the data
    double lsbMv = 0;               // the ideal step
    double measurementStepLsb = 0;  // the ADC's step in LSB of this range and resolution
    double offsetErrorLsb = 0;
    double offsetErrorMv = 0;
    double gainErrorPercent = 0;
    double inlEndpointMaxLsb = 0;
    double inlBestfitMaxLsb = 0;
    double dnlMinLsb = 0;
    double dnlMaxLsb = 0;
    int decreasingSteps = 0;
};

struct ChannelAnalysis {
    Conditions conditions;
    // Per position on the transfer (0 .. codes - 1), NaN where absent: the
    // mean reading, the INL by both methods, and the DNL of the step from the
    // position to the next one.
    std::vector<double> volts;
    std::vector<double> inlEndpoint;
    std::vector<double> inlBestfit;
    std::vector<double> dnl;
    Figures figures;
};

// `readings`: volts at sweep index 0, 1, ... (a stopped sweep gives fewer
// than 65,536). Index i wrote code i >> (16 - resolution).
ChannelAnalysis Analyse(std::span<const float> readings, const Conditions& conditions);
// The same into `into`, reusing its arrays (a recomputation allocates nothing new).
void Analyse(std::span<const float> readings, const Conditions& conditions, ChannelAnalysis& into);

}  // namespace analysis
