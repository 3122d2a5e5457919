#include "figures.h"

#include <algorithm>
#include <cmath>

namespace analysis {

void Measured::Reset(const Conditions& c, const Instrument& i)
{
    conditions = c;
    instrument = i;
    const size_t n = static_cast<size_t>(c.codes());
    volts.assign(n, std::numeric_limits<double>::quiet_NaN());
    sigma.assign(n, 0.0);
    count.assign(n, 0);
}

void Measured::Set(int position, double mean, double spread, uint32_t readings)
{
    if (position < 0 || static_cast<size_t>(position) >= volts.size())
        return;
    const size_t p = static_cast<size_t>(position);
    const bool taken = readings > 0 && std::isfinite(mean);
    volts[p] = taken ? mean : std::numeric_limits<double>::quiet_NaN();
    sigma[p] = taken && std::isfinite(spread) ? std::abs(spread) : 0.0;
    count[p] = taken ? readings : 0;
}

void GroupSweep(std::span<const float> readings, const Conditions& conditions, Measured& into,
                const Instrument& instrument)
{
    into.Reset(conditions, instrument);
    // The readings of one code are neighbours in the sweep: 1 at 16 bits,
    // 4 at 14, 16 at 12.
    const int shift = 16 - conditions.resolution;
    const size_t group = size_t{1} << shift;
    const size_t steps = std::min(readings.size(), static_cast<size_t>(kSweepSteps));
    for (size_t start = 0; start < steps; start += group) {
        const size_t end = std::min(start + group, steps);
        double sum = 0;
        for (size_t i = start; i < end; ++i)
            sum += readings[i];
        const double n = static_cast<double>(end - start);
        const double mean = sum / n;
        double squares = 0;
        for (size_t i = start; i < end; ++i)
            squares += (readings[i] - mean) * (readings[i] - mean);
        const double sigma = end - start > 1 ? std::sqrt(squares / (n - 1)) : 0.0;
        into.Set(conditions.position(static_cast<int>(start >> shift)), mean, sigma, static_cast<uint32_t>(end - start));
    }
}

}  // namespace analysis
