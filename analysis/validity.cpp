#include "validity.h"

#include "notetext.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace analysis {
namespace {

// A transfer needs at least this many codes, and this many distinct
// readings among them, to be told from a dead output.
constexpr size_t kFewest = 5;

std::string mv(double volts) { return Fixed(volts * 1000, 1) + " mV"; }

// Up to `most` distinct values among the measured positions.
size_t distinctUpTo(const ChannelAnalysis& a, const Reach& r, size_t most)
{
    double seen[8];
    size_t n = 0;
    for (size_t p = 0; p < a.volts.size() && n < most; ++p)
        if (r.possible(p) && std::find(seen, seen + n, a.volts[p]) == seen + n)
            seen[n++] = a.volts[p];
    return n;
}

std::string rangeText(const Conditions& c)
{
    return "the " + std::string(c.span().name) + " range at " + std::to_string(c.resolution) + " bits";
}

// False, with a note, when the codes measured are too few or too close
// together for the instrument to show a transfer, or the output does not
// follow them.
bool movesEnough(ChannelAnalysis& a, const Reach& r, size_t codes, double lo, double hi)
{
    const double q = a.instrument.stepVolts;
    const double idealSpread = static_cast<double>(r.lastMeasured - r.firstMeasured) * a.conditions.lsb();
    if (codes < kFewest) {
        a.notes.push_back(codes == 1 ? "only one code was measured, so there is no transfer to judge."
                                     : "only " + std::to_string(codes) + " codes were measured: too few to judge a "
                                       "transfer (it takes " + std::to_string(kFewest) + "), so no figure can be given.");
        return false;
    }
    if (idealSpread < 8 * q) {
        a.notes.push_back("the " + std::to_string(codes) + " codes measured span " + mv(idealSpread) +
                          " of ideal output, less than 8 steps of " + a.instrument.name + " (" + mv(q) +
                          " each): too few to show a transfer, so no figure can be given.");
        return false;
    }
    const size_t distinct = distinctUpTo(a, r, kFewest);
    if (distinct < kFewest || hi - lo < std::max(4 * q, 0.05 * idealSpread)) {
        const std::string what = distinct < kFewest
            ? "the readings take only " + std::to_string(distinct) + " distinct value" + (distinct == 1 ? "" : "s") +
                  " (" + VoltsText(lo) + " to " + VoltsText(hi) + ") over " + std::to_string(codes) + " codes"
            : "the output stays between " + VoltsText(lo) + " and " + VoltsText(hi) + " over " +
                  std::to_string(codes) + " codes, where " + rangeText(a.conditions) + " would move it by " +
                  VoltsText(idealSpread);
        a.notes.push_back(what + ": it does not follow the codes, as a channel that is powered down, disconnected or "
                                 "held at its clear level reads, so no figure can be given.");
        return false;
    }
    return true;
}

// Finds the runs of readings at the instrument's limits at both ends of
// the transfer; a run longer than two of its steps is clipped.
void findClipping(ChannelAnalysis& a, Reach& r)
{
    const Instrument& in = a.instrument;
    const double q = in.stepVolts;
    const auto atLimit = [&](size_t p) { return a.volts[p] <= in.lowVolts + q / 4 || a.volts[p] >= in.highVolts - q / 4; };
    r.lowRun = r.firstMeasured;
    for (size_t p = r.firstMeasured; p <= r.lastMeasured; ++p) {
        if (!r.possible(p))
            continue;
        if (!atLimit(p))
            break;
        r.lowRun = p + 1;
    }
    r.highRun = r.lastMeasured + 1;
    for (size_t p = r.lastMeasured + 1; p-- > r.lowRun;) {
        if (!r.possible(p))
            continue;
        if (!atLimit(p))
            break;
        r.highRun = p;
    }
    const double explained = 2 * std::max(1.0, q / a.conditions.lsb());
    r.lowEnd = static_cast<double>(r.lowRun - r.firstMeasured) > explained ? r.lowRun : 0;
    r.highStart = static_cast<double>(r.lastMeasured + 1 - r.highRun) > explained ? r.highRun : a.volts.size();
    const bool low = r.lowEnd != 0;
    const bool high = r.highStart != a.volts.size();
    if (!low && !high)
        return;
    const auto run = [&](size_t from, size_t to) {
        size_t n = 0;
        for (size_t p = from; p < to; ++p)
            n += r.possible(p);
        return std::to_string(n);
    };
    std::string which = low && high ? run(r.firstMeasured, r.lowEnd) + " codes at the bottom and " +
                                          run(r.highStart, r.lastMeasured + 1) + " at the top of the transfer read "
                                    : run(low ? r.firstMeasured : r.highStart, low ? r.lowEnd : r.lastMeasured + 1) +
                                          " codes at the " + (low ? "bottom" : "top") + " of the transfer read ";
    which += low && high ? VoltsText(in.lowVolts) + " and " + VoltsText(in.highVolts) + ", the limits of "
                         : VoltsText(low ? in.lowVolts : in.highVolts) + ", the " + (low ? "lowest" : "highest") +
                               " reading of ";
    const std::string lost = low && high ? "offset, zero-scale and full-scale error"
                                         : low ? "offset and zero-scale error" : "full-scale error";
    a.notes.push_back(which + in.name + ": the output goes beyond what it can measure there, so " + lost +
                      " cannot be given, and gain error, INL and DNL are taken over the codes in reach only.");
}

}  // namespace

double Reach::bias(const ChannelAnalysis& a, size_t p) const
{
    const double q = a.instrument.stepVolts;
    if (!(q > 0))
        return 0;
    // Readings spread by noise over several steps average the rounding away
    // (the rounding's first harmonic falls as exp(-2 pi^2 s^2 / q^2); half
    // that exponent, to stay on the safe side).
    const double s = a.count[p] > 1 ? std::max(a.sigma[p], spread) : 0.0;
    double b = s > 0 ? q / 2 * std::exp(-std::numbers::pi * std::numbers::pi * s * s / (q * q)) : q / 2;
    // A short run at a limit: the output may lie beyond the limit's step by
    // as many codes as the run is long.
    const double most = lsb * (1 + kGainSlack);
    if (p < lowRun)
        b = std::max(b, static_cast<double>(lowRun - firstMeasured) * most - q / 2);
    if (p >= highRun)
        b = std::max(b, static_cast<double>(lastMeasured + 1 - highRun) * most - q / 2);
    return b;
}

double Reach::noise(const ChannelAnalysis& a, size_t p) const
{
    return a.count[p] > 1 ? std::max(a.sigma[p], spread) / std::sqrt(static_cast<double>(a.count[p])) : 0.0;
}

bool FindReach(ChannelAnalysis& a, Reach& r)
{
    Figures& f = a.figures;
    const size_t n = a.volts.size();
    r.m = &a;
    r.lsb = a.conditions.lsb();
    double lo = 0;
    double hi = 0;
    double previous = std::numeric_limits<double>::quiet_NaN();
    size_t impossible = 0;
    size_t possible = 0;
    double wildest = 0;
    bool any = false;
    for (size_t p = 0; p < n; ++p) {
        if (a.count[p] == 0)
            continue;
        ++f.codes;
        const double v = a.volts[p];
        if (!r.possible(p)) {
            ++impossible;
            wildest = std::abs(v) > std::abs(wildest) ? v : wildest;
            continue;
        }
        ++possible;
        if (!any) {
            r.firstMeasured = p;
            lo = hi = v;
            any = true;
        }
        r.lastMeasured = p;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        f.decreasingSteps += v < previous;
        previous = v;
    }
    if (impossible > 0)
        a.notes.push_back(std::to_string(impossible) + (impossible == 1 ? " code reads" : " codes read") + " beyond what " +
                          a.instrument.name + " can read (" + VoltsText(a.instrument.lowVolts) + " to " +
                          VoltsText(a.instrument.highVolts) + "), as far as " + VoltsText(wildest) +
                          ": not a reading it gave, so " + (impossible == 1 ? "it is" : "they are") + " left out.");
    if (f.codes > 0 && !any) {
        a.notes.push_back("no code holds a reading that " + std::string(a.instrument.name) +
                          " can give, so no figure can be given.");
        return false;
    }
    if (f.codes == 0) {
        a.notes.push_back("no codes were measured, so there is no transfer to judge.");
        return false;
    }
    if (!movesEnough(a, r, possible, lo, hi))
        return false;

    findClipping(a, r);
    r.first = n;
    for (size_t p = r.firstMeasured; p <= r.lastMeasured; ++p)
        if (r.usable(p)) {
            r.first = std::min(r.first, p);
            r.last = p;
            ++r.count;
        }
    const Conditions& c = a.conditions;
    const double q = a.instrument.stepVolts;
    if (r.count < kFewest || static_cast<double>(r.last - r.first) * c.lsb() < 8 * q) {
        a.notes.push_back("too few codes are left in reach of " + std::string(a.instrument.name) +
                          " to show a transfer, so no figure can be given.");
        return false;
    }

    const Range& span = c.span();
    const double slack = 2 * q + 0.01 * (span.hi - span.lo);
    r.outsideRange = lo < span.lo - slack || hi > span.hi + slack;
    if (r.outsideRange)
        a.notes.push_back("the readings run from " + Fixed(lo, 1) + " V to " + Fixed(hi, 1) + " V, beyond the " +
                          std::string(span.name) + " range, so offset, gain, zero-scale, full-scale and bipolar-zero "
                          "error are not given: choose the range the channel was set to when it was swept.");

    const double rise = a.volts[r.last] - a.volts[r.first];
    const double idealRise = static_cast<double>(r.last - r.first) * c.lsb();
    if (!(std::abs(rise / idealRise - 1) <= kGainSlack)) {
        std::string note = "the output rises by " + VoltsText(rise) + " from code " + std::to_string(c.code(static_cast<int>(r.first))) +
                           " to code " + std::to_string(c.code(static_cast<int>(r.last))) + ", where " + rangeText(c) +
                           " rises by " + VoltsText(idealRise);
        double drop = 0;
        size_t at = r.first;
        for (size_t p = r.first, before = r.first; p <= r.last; ++p)
            if (r.usable(p)) {
                if (a.volts[before] - a.volts[p] > drop)
                    drop = a.volts[before] - a.volts[p], at = before;
                before = p;
            }
        if (drop > 0.25 * (span.hi - span.lo))
            note += ", and falls by " + VoltsText(drop) + " after code " + std::to_string(c.code(static_cast<int>(at))) +
                    ", as a transfer read in the other coding does";
        a.notes.push_back(note + ": the range, coding or resolution do not fit the data, so no figure can be given.");
        return false;
    }

    // The spread pooled over every position with more than one reading.
    double squares = 0;
    double freedom = 0;
    for (size_t p = r.first; p <= r.last; ++p)
        if (r.usable(p) && a.count[p] > 1) {
            squares += (a.count[p] - 1.0) * a.sigma[p] * a.sigma[p];
            freedom += a.count[p] - 1.0;
        }
    r.spread = freedom > 0 ? std::sqrt(squares / freedom) : 0.0;
    // The largest of M standard normal deviates stays below sqrt(2 ln 2M)
    // + 0.5 but for a few in a thousand.
    r.kMax = std::max(kCoverage, std::sqrt(2 * std::log(2.0 * static_cast<double>(r.count))) + 0.5);
    double noiseSquares = 0;
    for (size_t p = r.first; p <= r.last; ++p)
        if (r.usable(p)) {
            const double b = r.bias(a, p);
            const double s = r.noise(a, p);
            a.uncertainty[p] = b + kCoverage * s;
            r.extremeMax = std::max(r.extremeMax, b + r.kMax * s);
            r.biasMax = std::max(r.biasMax, b);
            noiseSquares += s * s;
        }
    r.noiseRms = std::sqrt(noiseSquares / static_cast<double>(r.count));
    return true;
}

void NoteEndsNotMeasured(ChannelAnalysis& a, const Reach& r)
{
    const Conditions& c = a.conditions;
    const size_t n = a.volts.size();
    std::string where;
    std::string figures;
    const auto check = [&](size_t p, const char* place, const char* figure) {
        const bool clipped = p < r.lowEnd || p >= r.highStart;
        if (a.count[p] != 0 || clipped)
            return;
        where += (where.empty() ? "" : ", ") + std::string(place) + " (code " + std::to_string(c.code(static_cast<int>(p))) + ")";
        figures += (figures.empty() ? "" : ", ") + std::string(figure);
    };
    check(0, "the bottom of the transfer", "zero-scale");
    check(n - 1, "full scale", "full-scale");
    if (c.span().bipolar)
        check(n / 2, "mid scale", "bipolar-zero");
    if (!where.empty())
        a.notes.push_back("not measured: " + where + ", so " + figures + " error " +
                          (figures.find(',') == std::string::npos ? "is" : "are") + " not given.");
}

}  // namespace analysis
