#pragma once
// Whether a channel's measurements can give figures at all, and which
// positions they may use: the checks that come before any figure, each
// leaving a note when it fails. Used by figures.cpp only.
#include "figures.h"

#include <cstddef>

namespace analysis {

// A transfer whose slope is off from the range's by more than this fraction
// is not a transfer of that range (or coding, or resolution).
constexpr double kGainSlack = 0.25;

// Standard errors of noise in the uncertainty of one position's mean.
constexpr double kCoverage = 3;

struct Reach {
    size_t firstMeasured = 0;
    size_t lastMeasured = 0;
    size_t first = 0;  // the first and last position in the instrument's reach
    size_t last = 0;
    size_t count = 0;  // positions in reach
    // Positions below `lowEnd` and from `highStart` up read the instrument's
    // limits for longer than its step explains: clipped, left out.
    size_t lowEnd = 0;
    size_t highStart = 0;
    // Positions read at a limit for no longer than its step explains, kept
    // with a larger bias: [firstMeasured, lowRun) and [highRun, lastMeasured].
    size_t lowRun = 0;
    size_t highRun = 0;
    bool outsideRange = false;  // readings beyond the range: no figure against the ideal
    double spread = 0;          // the readings' standard deviation, pooled over every position in reach
    double kMax = kCoverage;    // coverage of the largest of `count` noisy positions
    double extremeMax = 0;      // the largest bias plus kMax times the noise, of one position in reach
    double biasMax = 0;         // the largest bias(p) in reach
    double lsb = 0;             // the ideal step
    double noiseRms = 0;        // of the positions' noise (volts)
    const Measured* m = nullptr;

    // Measured, and a reading the instrument can give (within a step of its limits).
    bool possible(size_t p) const
    {
        const Instrument& in = m->instrument;
        return m->count[p] > 0 && m->volts[p] >= in.lowVolts - in.stepVolts && m->volts[p] <= in.highVolts + in.stepVolts;
    }
    bool usable(size_t p) const { return p >= lowEnd && p < highStart && p < m->count.size() && possible(p); }
    // How far the mean reading at `p` may be off by rounding to the
    // instrument's step (shrunk where the readings' noise dithers it), and
    // the standard error of the noise that averaging leaves. The noise is
    // the position's own spread or the pooled one, whichever is larger: a
    // few readings that happen to agree do not make a quiet position.
    double bias(const ChannelAnalysis& a, size_t p) const;
    double noise(const ChannelAnalysis& a, size_t p) const;
};

// Runs the checks on `a`'s measurements; counts the codes and decreasing
// steps; fills `a.uncertainty` (bias plus kCoverage times the noise) in reach. False,
// with a note, when no figure can be given.
bool FindReach(ChannelAnalysis& a, Reach& r);

// A note for the figures at positions that were not measured at all (a
// stopped sweep, a sparse plan).
void NoteEndsNotMeasured(ChannelAnalysis& a, const Reach& r);

}  // namespace analysis
