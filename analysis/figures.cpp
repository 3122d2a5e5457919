#include "figures.h"

#include "notetext.h"
#include "validity.h"

#include <algorithm>
#include <cmath>

namespace analysis {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// An uncertainty rounded up to two significant digits, as it is quoted.
double roundUp(double u)
{
    if (!(u > 0) || !std::isfinite(u))
        return u;
    const double unit = std::pow(10.0, std::floor(std::log10(u)) - 1);
    return std::ceil(u / unit * (1 - 1e-12)) * unit;
}

void set(Figure& figure, double value, double uncertainty)
{
    figure.value = value;
    figure.uncertainty = roundUp(uncertainty);
}

// The error of the output at one position against its ideal, in mV and LSB.
void setError(Figure& mv, Figure& lsbs, const ChannelAnalysis& a, size_t p)
{
    const double error = a.volts[p] - a.conditions.ideal(static_cast<double>(p));
    const double lsb = a.conditions.lsb();
    set(mv, error * 1000, a.uncertainty[p] * 1000);
    set(lsbs, error / lsb, a.uncertainty[p] / lsb);
}

// INL by the end-point method and DNL, over the positions in reach.
void endPoint(ChannelAnalysis& a, const Reach& r)
{
    Figures& f = a.figures;
    const auto& v = a.volts;
    const double step = (v[r.last] - v[r.first]) / static_cast<double>(r.last - r.first);
    double inlMax = 0;
    double dnlMin = kNaN;
    double dnlMax = kNaN;
    for (size_t p = r.first; p <= r.last; ++p) {
        if (!r.usable(p))
            continue;
        a.inlEndpoint[p] = (v[p] - (v[r.first] + static_cast<double>(p - r.first) * step)) / step;
        inlMax = std::max(inlMax, std::abs(a.inlEndpoint[p]));
        if (p < r.last && r.usable(p + 1)) {
            const double d = (v[p + 1] - v[p]) / step - 1;
            a.dnl[p] = d;
            dnlMin = std::isnan(dnlMin) ? d : std::min(dnlMin, d);
            dnlMax = std::isnan(dnlMax) ? d : std::max(dnlMax, d);
        }
    }
    const double ends = std::max(a.uncertainty[r.first], a.uncertainty[r.last]);
    set(f.inlEndpointMaxLsb, inlMax, (r.extremeMax + ends) / step);
    if (!std::isnan(dnlMin)) {
        // A step between neighbours: both ends as uncertain as the worst.
        set(f.dnlMinLsb, dnlMin, 2 * r.extremeMax / step);
        set(f.dnlMaxLsb, dnlMax, 2 * r.extremeMax / step);
    } else {
        a.notes.push_back("no two neighbouring codes were measured, so DNL cannot be given.");
    }
}

// INL by the best-fit method: against the least-squares line over every
// position in reach, computed about the means so that it keeps its precision.
void bestFit(ChannelAnalysis& a, const Reach& r)
{
    const auto& v = a.volts;
    double meanP = 0;
    double meanV = 0;
    for (size_t p = r.first; p <= r.last; ++p)
        if (r.usable(p)) {
            meanP += static_cast<double>(p);
            meanV += v[p];
        }
    const double n = static_cast<double>(r.count);
    meanP /= n;
    meanV /= n;
    double sxx = 0;
    double sxy = 0;
    for (size_t p = r.first; p <= r.last; ++p)
        if (r.usable(p)) {
            const double dp = static_cast<double>(p) - meanP;
            sxx += dp * dp;
            sxy += dp * (v[p] - meanV);
        }
    const double slope = sxy / sxx;
    if (!(std::abs(slope / a.conditions.lsb() - 1) <= kGainSlack)) {
        a.notes.push_back("the least-squares line through the readings does not rise as the range does, so "
                          "best-fit INL cannot be given.");
        return;
    }
    double inlMax = 0;
    for (size_t p = r.first; p <= r.last; ++p)
        if (r.usable(p)) {
            a.inlBestfit[p] = (v[p] - (meanV + (static_cast<double>(p) - meanP) * slope)) / slope;
            inlMax = std::max(inlMax, std::abs(a.inlBestfit[p]));
        }
    // The line itself is off by at most the largest bias of a reading, and by
    // its noise averaged over every position.
    const double line = r.biasMax + 2 * kCoverage * r.noiseRms / std::sqrt(n);
    set(a.figures.inlBestfitMaxLsb, inlMax, (r.extremeMax + line) / slope);
}

}  // namespace

void Evaluate(ChannelAnalysis& a, std::string_view conditionsNote)
{
    const Conditions& c = a.conditions;
    const size_t n = static_cast<size_t>(c.codes());
    a.uncertainty.assign(n, kNaN);
    a.inlEndpoint.assign(n, kNaN);
    a.inlBestfit.assign(n, kNaN);
    a.dnl.assign(n, kNaN);
    a.notes.clear();
    if (!conditionsNote.empty())
        a.notes.emplace_back(conditionsNote);
    Figures& f = a.figures;
    f = Figures{};
    f.lsbMv = c.lsb() * 1000;
    f.measurementStepLsb = a.instrument.stepVolts / c.lsb();
    if (a.volts.size() != n || a.sigma.size() != n || a.count.size() != n) {
        a.notes.push_back("the measurements do not match the resolution, so no figure can be given.");
        return;
    }

    Reach r;
    if (!FindReach(a, r))
        return;  // the notes say why

    const size_t top = n - 1;
    if (!r.outsideRange) {
        if (r.first == r.firstMeasured)
            setError(f.offsetErrorMv, f.offsetErrorLsb, a, r.first);
        if (r.usable(0))
            setError(f.zeroScaleErrorMv, f.zeroScaleErrorLsb, a, 0);
        if (r.usable(top))
            setError(f.fullScaleErrorMv, f.fullScaleErrorLsb, a, top);
        if (c.span().bipolar && r.usable(n / 2))
            setError(f.bipolarZeroErrorMv, f.bipolarZeroErrorLsb, a, n / 2);
        const double idealRise = static_cast<double>(r.last - r.first) * c.lsb();
        set(f.gainErrorPercent, ((a.volts[r.last] - a.volts[r.first]) / idealRise - 1) * 100,
            (a.uncertainty[r.first] + a.uncertainty[r.last]) / idealRise * 100);
        NoteEndsNotMeasured(a, r);
    }
    endPoint(a, r);
    bestFit(a, r);
    if (f.measurementStepLsb > 1)
        a.notes.push_back(std::string(a.instrument.name) + " measures in steps of " + Fixed(f.measurementStepLsb, 1) +
                          " LSB on this range at " + std::to_string(c.resolution) +
                          " bits, coarser than one code. Per-code DNL and INL mostly show its steps, not the "
                          "DAC's; the uncertainty beside each figure says how far to trust it.");
}

ChannelAnalysis Analyse(std::span<const float> readings, const Conditions& conditions, std::string_view conditionsNote)
{
    ChannelAnalysis a;
    Analyse(readings, conditions, a, conditionsNote);
    return a;
}

void Analyse(std::span<const float> readings, const Conditions& conditions, ChannelAnalysis& into,
             std::string_view conditionsNote)
{
    GroupSweep(readings, conditions, into);
    Evaluate(into, conditionsNote);
}

}  // namespace analysis
