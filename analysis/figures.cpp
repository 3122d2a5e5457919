#include "figures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace analysis {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double maxAbs(const std::vector<double>& values)
{
    double m = kNaN;
    for (const double v : values)
        if (!std::isnan(v) && !(std::abs(v) <= m))
            m = std::abs(v);
    return m;
}

}  // namespace

ChannelAnalysis Analyse(std::span<const float> readings, const Conditions& conditions)
{
    ChannelAnalysis a;
    Analyse(readings, conditions, a);
    return a;
}

void Analyse(std::span<const float> readings, const Conditions& conditions, ChannelAnalysis& a)
{
    a.conditions = conditions;
    const size_t n = static_cast<size_t>(conditions.codes());

    // The mean reading of every code, placed at its position on the transfer.
    // At most 16 readings per code (12 bits).
    auto& v = a.volts;
    v.assign(n, 0.0);
    std::vector<uint8_t> count(n, 0);
    const int shift = 16 - conditions.resolution;
    const size_t steps = std::min(readings.size(), static_cast<size_t>(kSweepSteps));
    for (size_t i = 0; i < steps; ++i) {
        const size_t p = static_cast<size_t>(conditions.position(static_cast<int>(i >> shift)));
        v[p] += readings[i];
        ++count[p];
    }
    Figures& f = a.figures;
    f = Figures{};
    size_t first = n;
    size_t last = 0;
    for (size_t p = 0; p < n; ++p) {
        if (count[p] == 0) {
            v[p] = kNaN;
            continue;
        }
        v[p] /= count[p];
        first = std::min(first, p);
        last = p;
        ++f.codes;
    }
    a.inlEndpoint.assign(n, kNaN);
    a.inlBestfit.assign(n, kNaN);
    a.dnl.assign(n, kNaN);

    const double lsb = conditions.lsb();
    f.lsbMv = lsb * 1000;
    f.measurementStepLsb = kAdcStepVolts / lsb;
    f.offsetErrorLsb = f.offsetErrorMv = f.gainErrorPercent = kNaN;
    f.inlEndpointMaxLsb = f.inlBestfitMaxLsb = f.dnlMinLsb = f.dnlMaxLsb = kNaN;
    if (f.codes == 0)
        return;

    // Offset against the ideal output of the first position present, which
    // is lo itself whenever the sweep reached the bottom of the transfer.
    const double offset = v[first] - conditions.ideal(static_cast<double>(first));
    f.offsetErrorLsb = offset / lsb;
    f.offsetErrorMv = offset * 1000;
    if (f.codes < 2)
        return;

    const double rise = v[last] - v[first];
    const double span = static_cast<double>(last - first);
    f.gainErrorPercent = (rise / (span * lsb) - 1) * 100;

    for (size_t p = first; p < last; ++p)
        if (v[p + 1] < v[p])  // false where either is absent
            ++f.decreasingSteps;

    // End-point method: the line through the first and last positions.
    const double step = rise / span;
    if (step != 0 && std::isfinite(step)) {
        for (size_t p = first; p <= last; ++p) {
            if (std::isnan(v[p]))
                continue;
            a.inlEndpoint[p] = (v[p] - (v[first] + static_cast<double>(p - first) * step)) / step;
            if (p < last && !std::isnan(v[p + 1])) {
                const double d = (v[p + 1] - v[p]) / step - 1;
                a.dnl[p] = d;
                f.dnlMinLsb = std::isnan(f.dnlMinLsb) ? d : std::min(f.dnlMinLsb, d);
                f.dnlMaxLsb = std::isnan(f.dnlMaxLsb) ? d : std::max(f.dnlMaxLsb, d);
            }
        }
        f.inlEndpointMaxLsb = maxAbs(a.inlEndpoint);
    }

    // Best-fit method: the least-squares line over every position present,
    // computed about the means so that it keeps its precision.
    double meanP = 0;
    double meanV = 0;
    for (size_t p = first; p <= last; ++p)
        if (!std::isnan(v[p])) {
            meanP += static_cast<double>(p);
            meanV += v[p];
        }
    meanP /= f.codes;
    meanV /= f.codes;
    double sxx = 0;
    double sxy = 0;
    for (size_t p = first; p <= last; ++p)
        if (!std::isnan(v[p])) {
            const double dp = static_cast<double>(p) - meanP;
            sxx += dp * dp;
            sxy += dp * (v[p] - meanV);
        }
    const double slope = sxy / sxx;
    if (slope != 0 && std::isfinite(slope)) {
        for (size_t p = first; p <= last; ++p)
            if (!std::isnan(v[p]))
                a.inlBestfit[p] = (v[p] - (meanV + (static_cast<double>(p) - meanP) * slope)) / slope;
        f.inlBestfitMaxLsb = maxAbs(a.inlBestfit);
    }
}

}  // namespace analysis
