#include "figures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace analysis {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The mean reading of every code, placed at its position on the transfer.
std::vector<double> transferOf(std::span<const float> readings, const Conditions& c)
{
    const int codes = c.codes();
    const int shift = 16 - c.resolution;
    std::vector<double> sum(static_cast<size_t>(codes), 0.0);
    std::vector<uint32_t> count(static_cast<size_t>(codes), 0);
    const size_t steps = std::min(readings.size(), static_cast<size_t>(kSweepSteps));
    for (size_t i = 0; i < steps; ++i) {
        const size_t code = i >> shift;
        sum[code] += readings[i];
        ++count[code];
    }
    std::vector<double> volts(static_cast<size_t>(codes), kNaN);
    for (int k = 0; k < codes; ++k)
        if (count[static_cast<size_t>(k)] != 0)
            volts[static_cast<size_t>(c.position(k))] = sum[static_cast<size_t>(k)] / count[static_cast<size_t>(k)];
    return volts;
}

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
    a.conditions = conditions;
    a.volts = transferOf(readings, conditions);
    const size_t n = a.volts.size();
    a.inlEndpoint.assign(n, kNaN);
    a.inlBestfit.assign(n, kNaN);
    a.dnl.assign(n, kNaN);

    Figures& f = a.figures;
    const double lsb = conditions.lsb();
    f.lsbMv = lsb * 1000;
    f.measurementStepLsb = kAdcStepVolts / lsb;
    f.offsetErrorLsb = f.offsetErrorMv = f.gainErrorPercent = kNaN;
    f.inlEndpointMaxLsb = f.inlBestfitMaxLsb = f.dnlMinLsb = f.dnlMaxLsb = kNaN;

    const auto& v = a.volts;
    std::vector<size_t> present;
    present.reserve(n);
    for (size_t p = 0; p < n; ++p)
        if (!std::isnan(v[p]))
            present.push_back(p);
    f.codes = static_cast<int>(present.size());
    if (present.empty())
        return a;

    // Offset against the ideal output of the first position present, which
    // is lo itself whenever the sweep reached the bottom of the transfer.
    const size_t first = present.front();
    const size_t last = present.back();
    const double offset = v[first] - conditions.ideal(static_cast<double>(first));
    f.offsetErrorLsb = offset / lsb;
    f.offsetErrorMv = offset * 1000;
    if (present.size() < 2)
        return a;

    const double rise = v[last] - v[first];
    const double span = static_cast<double>(last - first);
    f.gainErrorPercent = (rise / (span * lsb) - 1) * 100;

    for (size_t j = 1; j < present.size(); ++j)
        if (present[j] == present[j - 1] + 1 && v[present[j]] < v[present[j - 1]])
            ++f.decreasingSteps;

    // End-point method: the line through the first and last positions.
    const double step = rise / span;
    if (step != 0 && std::isfinite(step)) {
        for (const size_t p : present)
            a.inlEndpoint[p] = (v[p] - (v[first] + static_cast<double>(p - first) * step)) / step;
        f.inlEndpointMaxLsb = maxAbs(a.inlEndpoint);
        for (size_t j = 1; j < present.size(); ++j) {
            const size_t p = present[j - 1];
            if (present[j] != p + 1)
                continue;
            const double d = (v[p + 1] - v[p]) / step - 1;
            a.dnl[p] = d;
            f.dnlMinLsb = std::isnan(f.dnlMinLsb) ? d : std::min(f.dnlMinLsb, d);
            f.dnlMaxLsb = std::isnan(f.dnlMaxLsb) ? d : std::max(f.dnlMaxLsb, d);
        }
    }

    // Best-fit method: the least-squares line over every position present,
    // computed about the means so that it keeps its precision.
    double meanP = 0;
    double meanV = 0;
    for (const size_t p : present) {
        meanP += static_cast<double>(p);
        meanV += v[p];
    }
    meanP /= static_cast<double>(present.size());
    meanV /= static_cast<double>(present.size());
    double sxx = 0;
    double sxy = 0;
    for (const size_t p : present) {
        const double dp = static_cast<double>(p) - meanP;
        sxx += dp * dp;
        sxy += dp * (v[p] - meanV);
    }
    const double slope = sxy / sxx;
    if (slope != 0 && std::isfinite(slope)) {
        for (const size_t p : present)
            a.inlBestfit[p] = (v[p] - (meanV + (static_cast<double>(p) - meanP) * slope)) / slope;
        f.inlBestfitMaxLsb = maxAbs(a.inlBestfit);
    }
    return a;
}

}  // namespace analysis
