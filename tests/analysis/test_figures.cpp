// The figures on data whose answers are known by hand: exact ramps, ramps
// through the board's ADC with known errors (each figure within its stated
// uncertainty), channels that cannot give figures (and the notes that say
// why), sparse measurements, and the range guess.
#include "analysis/figures.h"
#include "analysis/report.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using namespace analysis;

namespace {

constexpr int kPm10 = 4;  // "±10V"
constexpr int kPm5 = 3;   // "±5V"
constexpr int kPm108 = 5; // "±10.8V"

// A meter fine enough to show single-precision readings as they are.
constexpr Instrument kFine{"the meter", 1e-9, -1e9, 1e9};

// 65,536 sweep readings, index i reading volts(code i >> (16 - n)).
std::vector<float> sweep(const Conditions& c, const std::function<double(int)>& volts, size_t steps = kSweepSteps)
{
    std::vector<float> r(steps);
    for (size_t i = 0; i < steps; ++i)
        r[i] = static_cast<float>(volts(static_cast<int>(i >> (16 - c.resolution))));
    return r;
}

// The ideal output of code k: its position's ideal volts.
std::function<double(int)> ideal(const Conditions& c)
{
    return [c](int k) { return c.ideal(c.position(k)); };
}

// What the board's ADC reads for an output.
double adc(double v) { return std::clamp(std::floor((v + 10) * 409.6 + 0.5), 0.0, 8191.0) / 409.6 - 10; }

ChannelAnalysis analyse(std::span<const float> readings, const Conditions& c, const Instrument& instrument)
{
    ChannelAnalysis a;
    GroupSweep(readings, c, a, instrument);
    Evaluate(a);
    return a;
}

std::string joined(const std::vector<std::string>& notes)
{
    std::string all;
    for (const auto& n : notes)
        all += n + "|";
    return all;
}

const Figure Figures::* const kAll[] = {
    &Figures::offsetErrorLsb,    &Figures::offsetErrorMv,     &Figures::gainErrorPercent,  &Figures::zeroScaleErrorMv,
    &Figures::zeroScaleErrorLsb, &Figures::fullScaleErrorMv,  &Figures::fullScaleErrorLsb, &Figures::bipolarZeroErrorMv,
    &Figures::bipolarZeroErrorLsb, &Figures::inlEndpointMaxLsb, &Figures::inlBestfitMaxLsb, &Figures::dnlMinLsb,
    &Figures::dnlMaxLsb};

// No figure beyond what the data could produce, and an uncertainty beside
// every figure given (and none beside one not given).
void expectSane(const ChannelAnalysis& a)
{
    const Figures& f = a.figures;
    for (const auto member : kAll) {
        const Figure& x = f.*member;
        EXPECT_EQ(x.known(), std::isfinite(x.uncertainty) && x.uncertainty >= 0) << joined(a.notes);
    }
    for (const auto member : {&Figures::inlEndpointMaxLsb, &Figures::inlBestfitMaxLsb, &Figures::dnlMinLsb, &Figures::dnlMaxLsb})
        if ((f.*member).known()) {
            EXPECT_LE(std::abs((f.*member).value), f.codes);
        }
    if (f.gainErrorPercent.known()) {
        EXPECT_LE(std::abs(f.gainErrorPercent.value), 25);
    }
}

}  // namespace

TEST(Figures, ExactRampsGiveZeroErrorsAtEveryResolutionCodingAndRange)
{
    for (int range = 0; range < 6; ++range)
        for (const int bits : {16, 14, 12})
            for (const Coding coding : {Coding::Binary, Coding::TwosComplement}) {
                const Conditions c{range, coding, bits};
                const ChannelAnalysis a = analyse(sweep(c, ideal(c)), c, kFine);
                const Figures& f = a.figures;
                SCOPED_TRACE(std::to_string(range) + "/" + std::to_string(bits));
                EXPECT_EQ(f.codes, 1 << bits);
                // Single-precision readings: within a hundredth of an LSB.
                for (const auto member : {&Figures::offsetErrorLsb, &Figures::zeroScaleErrorLsb, &Figures::fullScaleErrorLsb,
                                          &Figures::inlEndpointMaxLsb, &Figures::inlBestfitMaxLsb, &Figures::dnlMinLsb,
                                          &Figures::dnlMaxLsb}) {
                    EXPECT_NEAR((f.*member).value, 0, 1e-2);
                }
                if (c.span().bipolar) {
                    EXPECT_NEAR(f.bipolarZeroErrorLsb.value, 0, 1e-2);
                }
                EXPECT_EQ(f.bipolarZeroErrorMv.known(), c.span().bipolar);
                EXPECT_NEAR(f.gainErrorPercent.value, 0, 1e-5);
                EXPECT_LT(f.offsetErrorLsb.uncertainty, 1e-3);
                EXPECT_EQ(f.decreasingSteps, 0);
                EXPECT_TRUE(a.notes.empty()) << joined(a.notes);
                EXPECT_DOUBLE_EQ(f.lsbMv, c.lsb() * 1000);
            }
    const Conditions c{kPm10, Coding::Binary, 16};
    EXPECT_DOUBLE_EQ(Analyse({}, c).figures.measurementStepLsb, 8);  // the 13-bit ADC on a 16-bit ±10V part
    EXPECT_DOUBLE_EQ(Analyse({}, Conditions{kPm5, Coding::Binary, 12}).figures.measurementStepLsb, 1);
}

TEST(Figures, KnownErrorsThroughTheAdcComeBackWithinTheirUncertainty)
{
    // Offset, gain error about the bottom and a parabolic bow, as a DAC
    // makes them; then read by the board's ADC, with noise where a code has
    // several readings to average. Every figure given must hold the truth
    // within its +-.
    struct Case {
        int range;
        double offsetMv, gainPpm, bowLsb, noiseMv;
    };
    const Case cases[] = {{0, 2, 400, 3, 0},   {1, -1.5, -250, 0, 0}, {kPm5, 3, 500, 10, 0},
                          {kPm10, 4, 300, 12, 0}, {kPm5, -2, 0, -5, 0}, {kPm5, 1, 100, 4, 1}, {1, 0.5, 50, 2, 0.6}};
    uint64_t seed = 88172645463325252ull;
    const auto gauss = [&] {
        const auto uniform = [&] {
            seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
            return (static_cast<double>(seed >> 11) + 0.5) / 9007199254740992.0;
        };
        const double u = uniform();
        return std::sqrt(-2 * std::log(u)) * std::cos(6.283185307179586 * uniform());
    };
    for (const Case& k : cases)
        for (const int bits : k.noiseMv > 0 ? std::vector{14, 12} : std::vector{16, 14, 12})
            for (const Coding coding : {Coding::Binary, Coding::TwosComplement}) {
                const Conditions c{k.range, coding, bits};
                const int top = c.codes() - 1;
                const auto truth = [&](int p) {
                    const double t = double(p) / top;
                    return c.span().lo + k.offsetMv / 1000 + p * c.lsb() * (1 + k.gainPpm * 1e-6) +
                           k.bowLsb * c.lsb() * 4 * t * (1 - t);
                };
                const std::vector<float> r =
                    sweep(c, [&](int code) { return adc(truth(c.position(code)) + k.noiseMv / 1000 * gauss()); });
                const ChannelAnalysis a = analyse(r, c, kBoardAdc);
                SCOPED_TRACE(std::to_string(k.range) + "/" + std::to_string(bits) + "/" + std::to_string(int(coding)) +
                             " " + joined(a.notes));
                expectSane(a);
                const Figures& f = a.figures;
                const double lsb = c.lsb();
                const auto within = [](const char* name, const Figure& x, double expected) {
                    if (x.known()) {
                        EXPECT_LE(std::abs(x.value - expected), x.uncertainty) << name << " " << x.value << " vs " << expected;
                    }
                };
                within("offset", f.offsetErrorMv, k.offsetMv);
                within("zero scale", f.zeroScaleErrorMv, k.offsetMv);
                within("zero scale", f.zeroScaleErrorLsb, k.offsetMv / 1000 / lsb);
                within("full scale", f.fullScaleErrorMv, (truth(top) - c.ideal(top)) * 1000);
                within("bipolar zero", f.bipolarZeroErrorMv, (truth((top + 1) / 2) - c.ideal((top + 1) / 2)) * 1000);
                within("gain", f.gainErrorPercent, k.gainPpm * 1e-4);
                within("INL", f.inlEndpointMaxLsb, std::abs(k.bowLsb));
                within("INL best fit", f.inlBestfitMaxLsb, std::abs(k.bowLsb) * 2 / 3);
                within("DNL max", f.dnlMaxLsb, 0);
                within("DNL min", f.dnlMinLsb, 0);
                // Every range here but ±10V keeps the outputs in the ADC's reach.
                EXPECT_TRUE(f.offsetErrorMv.known() && f.gainErrorPercent.known() && f.inlEndpointMaxLsb.known());
                if (k.range != kPm10) {
                    EXPECT_TRUE(f.fullScaleErrorMv.known() && f.zeroScaleErrorMv.known());
                }
            }
}

TEST(Figures, OffsetGainAndBowOfKnownSize)
{
    const Conditions c{kPm5, Coding::Binary, 16};
    const double lsb = c.lsb();
    // 3 mV offset, gain +0.05 %: the errors at the bottom, at mid scale and at full scale.
    Figures f = analyse(sweep(c, [&](int k) { return c.span().lo + 0.003 + k * lsb * 1.0005; }), c, kFine).figures;
    EXPECT_NEAR(f.offsetErrorMv.value, 3, 1e-3);
    EXPECT_NEAR(f.offsetErrorLsb.value, 0.003 / lsb, 1e-2);
    EXPECT_NEAR(f.zeroScaleErrorMv.value, 3, 1e-3);
    EXPECT_NEAR(f.bipolarZeroErrorMv.value, 3 + 0.0005 * 5000, 1e-3);
    EXPECT_NEAR(f.fullScaleErrorMv.value, 3 + 0.0005 * (10000 - lsb * 1000), 1e-3);
    EXPECT_NEAR(f.fullScaleErrorLsb.value, f.fullScaleErrorMv.value / 1000 / lsb, 1e-9);
    EXPECT_NEAR(f.gainErrorPercent.value, 0.05, 1e-4);
    EXPECT_NEAR(f.inlEndpointMaxLsb.value, 0, 5e-3);

    // A parabolic bow of 10 LSB: end-point INL 10; the least-squares line
    // halves the bow's excursion at best, leaving two thirds of it at the ends.
    const int top = c.codes() - 1;
    const auto bowed = [&](int k) { return c.ideal(k) + 10 * lsb * 4.0 * k / top * (1.0 - double(k) / top); };
    const ChannelAnalysis a = analyse(sweep(c, bowed), c, kFine);
    EXPECT_NEAR(a.figures.inlEndpointMaxLsb.value, 10, 0.01);
    EXPECT_NEAR(a.figures.inlBestfitMaxLsb.value, 10 * 2.0 / 3, 0.01);
    EXPECT_NEAR(a.inlEndpoint[static_cast<size_t>(top / 2)], 10, 0.01);
    EXPECT_NEAR(a.figures.gainErrorPercent.value, 0, 1e-4);
}

TEST(Figures, MissingCodeAndStepBackwards)
{
    const Conditions c{kPm10, Coding::Binary, 16};
    const double lsb = c.lsb();
    // Code 1000 reads as 999 (a missing step), code 2000 a quarter LSB below 1999.
    const auto v = [&](int k) {
        return k == 1000 ? c.ideal(999) : k == 2000 ? c.ideal(1999) - 0.25 * lsb : c.ideal(k);
    };
    const ChannelAnalysis a = analyse(sweep(c, v), c, kFine);
    EXPECT_NEAR(a.dnl[999], -1, 1e-2);
    EXPECT_NEAR(a.dnl[1000], 1, 1e-2);
    EXPECT_NEAR(a.figures.dnlMinLsb.value, -1.25, 1e-2);
    EXPECT_NEAR(a.figures.dnlMaxLsb.value, 1.25, 1e-2);
    EXPECT_EQ(a.figures.decreasingSteps, 1);
}

TEST(Figures, TwosComplementReordersBipolarRangesOnly)
{
    // Two's complement on ±10V: code 0 is mid scale, 0x8000 negative full scale.
    const Conditions twos{kPm10, Coding::TwosComplement, 16};
    EXPECT_EQ(twos.position(0), 32768);
    EXPECT_EQ(twos.position(0x8000), 0);
    const auto readings = sweep(twos, ideal(twos));
    EXPECT_NEAR(readings[0], 0, 1e-6);
    EXPECT_NEAR(analyse(readings, twos, kFine).figures.inlEndpointMaxLsb.value, 0, 2e-3);
    // Read as straight binary the same data falls once, at the carry, by
    // the whole span: not a transfer of that coding, and the note says so.
    const ChannelAnalysis binary = analyse(readings, Conditions{kPm10, Coding::Binary, 16}, kFine);
    EXPECT_EQ(binary.figures.decreasingSteps, 1);
    EXPECT_FALSE(binary.figures.inlEndpointMaxLsb.known() || binary.figures.offsetErrorMv.known());
    EXPECT_NE(joined(binary.notes).find("falls by 20.000 V after code 32767, as a transfer read in the other coding does"),
              std::string::npos) << joined(binary.notes);
    // A unipolar range is straight binary in either coding.
    EXPECT_EQ(Conditions({1, Coding::TwosComplement, 16}).position(0), 0);
}

TEST(Figures, GroupedCodesAreAveragedAndStoppedSweepsCountWhatIsThere)
{
    // 12 bits: each code held for 16 indexes; readings alternating +-1 mV
    // about the ideal average out, and their spread is kept.
    const Conditions c{kPm10, Coding::Binary, 12};
    std::vector<float> r = sweep(c, ideal(c));
    for (size_t i = 0; i < r.size(); ++i)
        r[i] += (i % 2 ? 0.001f : -0.001f);
    ChannelAnalysis a = analyse(r, c, kFine);
    EXPECT_EQ(a.figures.codes, 4096);
    EXPECT_EQ(a.count[7], 16u);
    EXPECT_NEAR(a.sigma[7], 0.001 * std::sqrt(16.0 / 15), 1e-6);
    EXPECT_NEAR(a.figures.inlBestfitMaxLsb.value, 0, 1e-3);
    // Noise averaged over 16 readings: three standard errors.
    EXPECT_NEAR(a.uncertainty[7], 3 * a.sigma[7] / 4, 1e-9);

    // A sweep stopped after 40,000 indexes at 14 bits: codes 0 .. 9999;
    // no full-scale or mid-scale figure, and a note that says why.
    const Conditions c14{kPm5, Coding::Binary, 14};
    a = analyse(sweep(c14, ideal(c14), 40000), c14, kFine);
    EXPECT_EQ(a.figures.codes, 10000);
    EXPECT_TRUE(std::isnan(a.volts[10000]));
    EXPECT_NEAR(a.figures.gainErrorPercent.value, 0, 1e-4);
    EXPECT_FALSE(a.figures.fullScaleErrorMv.known());
    EXPECT_TRUE(a.figures.bipolarZeroErrorMv.known());
    EXPECT_EQ(joined(a.notes), "not measured: full scale (code 16383), so full-scale error is not given.|");
    // Stopped in two's complement: the transfer starts at mid scale, and the
    // offset is taken against the ideal there, not against the bottom.
    const Conditions t{kPm5, Coding::TwosComplement, 16};
    a = analyse(sweep(t, ideal(t), 100), t, kFine);
    EXPECT_EQ(a.figures.codes, 100);
    EXPECT_NEAR(a.figures.offsetErrorLsb.value, 0, 1e-2);
    EXPECT_NEAR(a.figures.bipolarZeroErrorLsb.value, 0, 1e-2);
    EXPECT_FALSE(a.figures.zeroScaleErrorMv.known());
}

TEST(Figures, ChannelsThatCannotGiveFiguresSayWhy)
{
    // Each: readings of ±10V 16-bit binary, and a piece of the note.
    const Conditions c{kPm10, Coding::Binary, 16};
    std::vector<float> flip(kSweepSteps, 0.0f);
    flip[30000] = static_cast<float>(kAdcStepVolts);
    std::vector<float> hum(kSweepSteps);
    for (size_t i = 0; i < hum.size(); ++i)
        hum[i] = static_cast<float>(adc(1.234 + 0.0015 * std::sin(i * 0.01)));
    const std::vector<float> ramp = sweep(c, [&](int k) { return adc(c.ideal(k)); });
    const struct {
        const char* name;
        std::vector<float> readings;
        Conditions conditions;
        const char* says;
    } cases[] = {
        {"powered down", std::vector<float>(kSweepSteps, 0.0f), c, "only 1 distinct value (0.000 V to 0.000 V) over 65536 codes: it does not follow the codes"},
        {"one noise flip", flip, c, "only 2 distinct values"},
        {"flat with noise", hum, c, "does not follow the codes"},
        {"nothing", {}, c, "no codes were measured"},
        {"one code", {0.5f}, c, "only one code was measured"},
        {"three codes", {-10, -9.9f, -9.8f}, c, "only 3 codes were measured"},
        {"too close for the ADC", std::vector<float>(ramp.begin(), ramp.begin() + 40), c,
         "the 40 codes measured span 11.9 mV of ideal output, less than 8 steps of the board's ADC (2.4 mV each)"},
        {"other coding", sweep(Conditions{kPm10, Coding::TwosComplement, 16}, [&](int k) { return adc(c.ideal(k ^ 0x8000)); }),
         c, "as a transfer read in the other coding does"},
        {"a quarter of the span", sweep(c, [](int k) { return adc(k * 5.0 / 65536); }), c,
         "the output rises by 5.000 V from code 0 to code 65535, where the \u00B110V range at 16 bits rises by 20.000 V: "
         "the range, coding or resolution do not fit the data"},
        {"all clipped", std::vector<float>(kSweepSteps / 2, -10.0f), Conditions{kPm10, Coding::Binary, 16}, "1 distinct value"},
    };
    for (const auto& k : cases) {
        const ChannelAnalysis a = analyse(k.readings, k.conditions, kBoardAdc);
        SCOPED_TRACE(k.name);
        for (const auto member : kAll)
            EXPECT_FALSE((a.figures.*member).known());
        EXPECT_NE(joined(a.notes).find(k.says), std::string::npos) << joined(a.notes);
        EXPECT_EQ(a.notes.size(), 1u) << joined(a.notes);
    }
}

TEST(Figures, ClippedEndsAndReadingsBeyondTheRangeLeaveOutWhatTheyDistort)
{
    // ±10.8V through the ADC: both ends run beyond it. The ends' figures
    // are unknown, the rest taken over the codes in reach, and the clipped
    // codes' DNL of -1 is gone.
    const Conditions c{kPm108, Coding::Binary, 16};
    const ChannelAnalysis a = analyse(sweep(c, [&](int k) { return adc(c.ideal(k)); }), c, kBoardAdc);
    expectSane(a);
    const Figures& f = a.figures;
    EXPECT_FALSE(f.offsetErrorMv.known() || f.zeroScaleErrorMv.known() || f.fullScaleErrorMv.known());
    EXPECT_TRUE(f.gainErrorPercent.known() && f.inlEndpointMaxLsb.known() && f.bipolarZeroErrorMv.known());
    EXPECT_LE(std::abs(f.gainErrorPercent.value), f.gainErrorPercent.uncertainty);
    EXPECT_LE(std::abs(f.dnlMinLsb.value), f.dnlMinLsb.uncertainty);
    EXPECT_TRUE(std::isnan(a.dnl[10]) && std::isnan(a.inlEndpoint[65530]));
    EXPECT_NE(joined(a.notes).find("2431 codes at the bottom and 2438 at the top of the transfer read -10.000 V and 9.998 V, "
                                   "the limits of the board's ADC: the output goes beyond what it can measure there, so "
                                   "offset, zero-scale and full-scale error cannot be given, and gain error, INL and DNL "
                                   "are taken over the codes in reach only."),
              std::string::npos) << joined(a.notes);

    // ±10V reaches the ADC's top only in its last few codes: nothing clipped.
    const Conditions pm10{kPm10, Coding::Binary, 16};
    const ChannelAnalysis b = analyse(sweep(pm10, [&](int k) { return adc(pm10.ideal(k)); }), pm10, kBoardAdc);
    EXPECT_TRUE(b.figures.zeroScaleErrorMv.known() && b.figures.fullScaleErrorMv.known());
    EXPECT_LE(std::abs(b.figures.fullScaleErrorMv.value), b.figures.fullScaleErrorMv.uncertainty);

    // ±5V readings taken as +5V: nothing against the ideal, and a note.
    const Conditions fine{kPm5, Coding::Binary, 12};
    const Conditions wrong{0, Coding::Binary, 12};
    const ChannelAnalysis w = analyse(sweep(fine, ideal(fine)), wrong, kBoardAdc);
    EXPECT_FALSE(w.figures.offsetErrorMv.known() || w.figures.gainErrorPercent.known());
    ASSERT_FALSE(w.notes.empty());
    EXPECT_EQ(w.notes[0], "the readings run from -5.0 V to 5.0 V, beyond the +5V range, so offset, gain, zero-scale, "
                          "full-scale and bipolar-zero error are not given: choose the range the channel was set to "
                          "when it was swept.");
}

TEST(Figures, SparsePositionsWithTheirSpread)
{
    // A bench meter's plan: every 4096th code and the codes about the major
    // carry, ten readings each with 20 µV of spread, on a 16-bit ±10V part
    // with a 2 LSB step up at the carry.
    const Conditions c{kPm10, Coding::Binary, 16};
    const Instrument meter{"the meter", 1e-6, -1e9, 1e9};
    ChannelAnalysis a;
    a.Reset(c, meter);
    std::vector<int> plan;
    for (int p = 0; p < 65536; p += 4096)
        plan.push_back(p);
    plan.insert(plan.end(), {32766, 32767, 32769, 65535});
    for (const int p : plan)
        a.Set(p, c.ideal(p) + (p >= 32768 ? 2 * c.lsb() : 0), 20e-6, 10);
    a.Set(70000, 1, 0, 1);  // outside: ignored
    Evaluate(a);
    expectSane(a);
    const Figures& f = a.figures;
    EXPECT_EQ(f.codes, static_cast<int>(plan.size()));
    EXPECT_NEAR(f.offsetErrorMv.value, 0, 1e-9);
    // Rounding: (q/2) e^(-pi^2 s^2 / q^2), nothing left at 20 steps of
    // spread; noise: three times 20 µV / sqrt(10); rounded up to two digits.
    EXPECT_DOUBLE_EQ(f.offsetErrorMv.uncertainty, 0.019);
    // DNL only where the next code was measured: 32766 -> 32767 -> 32768.
    EXPECT_FALSE(std::isnan(a.dnl[32767]));
    EXPECT_TRUE(std::isnan(a.dnl[4096]));
    EXPECT_NEAR(f.dnlMaxLsb.value, 2, 0.01);
    EXPECT_NEAR(a.inlEndpoint[40960], 2 - 2.0 * 40960 / 65535, 0.01);
    EXPECT_NEAR(f.fullScaleErrorLsb.value, 2, 1e-6);
    EXPECT_TRUE(a.notes.empty()) << joined(a.notes);

    // No neighbours at all: no DNL, and the note says so.
    a.Set(32766, 0, 0, 0);
    a.Set(32767, 0, 0, 0);
    a.Set(32769, 0, 0, 0);
    Evaluate(a);
    EXPECT_FALSE(a.figures.dnlMaxLsb.known());
    EXPECT_TRUE(a.figures.inlEndpointMaxLsb.known());
    EXPECT_EQ(joined(a.notes), "no two neighbouring codes were measured, so DNL cannot be given.|");
}

TEST(Ranges, NamesOptionsAndGuesses)
{
    EXPECT_EQ(RangeFromText("\u00B110V"), 4);
    EXPECT_EQ(RangeFromText("+-10.8V"), 5);
    EXPECT_EQ(RangeFromText("+10V"), 1);
    EXPECT_FALSE(RangeFromText("10V") || RangeFromText("\u00B111V") || RangeFromText(""));

    std::array<std::optional<int>, kChannels> r{};
    std::string why;
    ASSERT_TRUE(ParseRangeList("+-5V", r, why));
    EXPECT_EQ(r[3], 3);
    r = {};
    ASSERT_TRUE(ParseRangeList("A=\u00B110V,C=+5V", r, why));
    EXPECT_TRUE(r[0] == 4 && !r[1] && r[2] == 0 && !r[3]);
    for (const char* bad : {"E=+5V", "A=+5V,", "A+5V", "a=+5V", "A=+5V,B=12V"})
        EXPECT_FALSE(ParseRangeList(bad, r, why)) << bad;
    EXPECT_TRUE(r[0] == 4 && !r[1]);  // a refused list changes nothing

    // Sweeps of every range and coding through the ADC, whole or stopped:
    // the guess holds the readings and fits them; a whole sweep, or one past
    // the point where two ranges part, gives back the range swept (the
    // clipped ±10.8V ranges among them).
    for (int range = 0; range < 6; ++range)
        for (const Coding coding : {Coding::Binary, Coding::TwosComplement})
            for (const size_t steps : {size_t{65536}, size_t{50000}, size_t{20000}}) {
                const Conditions c{range, coding, 16};
                const auto readings = sweep(c, [&](int k) { return adc(c.ideal(c.position(k))); }, steps);
                const RangeGuess g = GuessRange(readings, coding, 16);
                SCOPED_TRACE(std::to_string(range) + "/" + std::to_string(int(coding)) + "/" + std::to_string(steps) + " " + g.note);
                const Range& got = Ranges()[static_cast<size_t>(g.range)];
                const auto [lo, hi] = std::minmax_element(readings.begin(), readings.end());
                EXPECT_TRUE(*lo >= got.lo - kAdcStepVolts && *hi <= got.hi + kAdcStepVolts);
                if (steps == 65536 || coding == Coding::Binary || !c.span().bipolar) {
                    EXPECT_EQ(g.range, range);
                } else {  // below mid scale, ±5V in two's complement reads as +10V does
                    EXPECT_TRUE(g.range == range || Ranges()[static_cast<size_t>(g.range)].hi == c.span().hi * 2);
                }
                EXPECT_EQ(g.note.rfind("range guessed from the readings (", 0), 0u);
            }
    EXPECT_EQ(GuessRange(std::vector<float>{-10.0f, 0.0f, 9.9975f}, Coding::Binary, 16).note,
              "range guessed from the readings (-10.000 V to 9.998 V): \u00B110V fits them best of the ranges that hold "
              "them (\u00B110V, \u00B110.8V); choose the range the channel was set to if it was another.");
    EXPECT_EQ(GuessRange(std::vector<float>{-12.0f, 12.0f}, Coding::Binary, 16).range, kPm108);
    EXPECT_EQ(GuessRange({}, Coding::Binary, 16).range, 0);
}
