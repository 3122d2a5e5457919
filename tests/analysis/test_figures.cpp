// The figures on data whose answers are known by hand, the ranges and the
// option forms, and the JSON and CSV they are given in.
#include "analysis/figures.h"
#include "analysis/report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using namespace analysis;

namespace {

constexpr int kPm10 = 4;  // "±10V"
constexpr int kPm5 = 3;   // "±5V"

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

}  // namespace

TEST(Figures, IdealRampsGiveZeroErrorsAtEveryResolutionCodingAndRange)
{
    for (const int range : {0, 2, kPm5, kPm10})
        for (const int bits : {16, 14, 12})
            for (const Coding coding : {Coding::Binary, Coding::TwosComplement}) {
                const Conditions c{range, coding, bits};
                const Figures f = Analyse(sweep(c, ideal(c)), c).figures;
                SCOPED_TRACE(std::to_string(range) + "/" + std::to_string(bits));
                EXPECT_EQ(f.codes, 1 << bits);
                // Single-precision readings: within a hundredth of an LSB.
                for (const double v : {f.offsetErrorLsb, f.inlEndpointMaxLsb, f.inlBestfitMaxLsb, f.dnlMinLsb, f.dnlMaxLsb})
                    EXPECT_NEAR(v, 0, 1e-2);
                EXPECT_NEAR(f.gainErrorPercent, 0, 1e-5);
                EXPECT_EQ(f.decreasingSteps, 0);
                EXPECT_DOUBLE_EQ(f.lsbMv, c.lsb() * 1000);
            }
    const Conditions c{kPm10, Coding::Binary, 16};
    EXPECT_DOUBLE_EQ(Analyse({}, c).figures.measurementStepLsb, 8);  // the 13-bit ADC on a 16-bit ±10V part
    EXPECT_DOUBLE_EQ(Analyse({}, Conditions{kPm5, Coding::Binary, 12}).figures.measurementStepLsb, 1);
}

TEST(Figures, OffsetGainAndBowOfKnownSize)
{
    const Conditions c{kPm5, Coding::Binary, 16};
    const double lsb = c.lsb();
    // 3 mV offset, gain +0.05 %.
    Figures f = Analyse(sweep(c, [&](int k) { return c.span().lo + 0.003 + k * lsb * 1.0005; }), c).figures;
    EXPECT_NEAR(f.offsetErrorMv, 3, 1e-3);
    EXPECT_NEAR(f.offsetErrorLsb, 0.003 / lsb, 1e-2);
    EXPECT_NEAR(f.gainErrorPercent, 0.05, 1e-4);
    EXPECT_NEAR(f.inlEndpointMaxLsb, 0, 5e-3);

    // A parabolic bow of 10 LSB: end-point INL 10; the least-squares line
    // halves the bow's excursion at best, leaving two thirds of it at the ends.
    const int top = c.codes() - 1;
    const auto bowed = [&](int k) { return c.ideal(k) + 10 * lsb * 4.0 * k / top * (1.0 - double(k) / top); };
    const ChannelAnalysis a = Analyse(sweep(c, bowed), c);
    EXPECT_NEAR(a.figures.inlEndpointMaxLsb, 10, 0.01);
    EXPECT_NEAR(a.figures.inlBestfitMaxLsb, 10 * 2.0 / 3, 0.01);
    EXPECT_NEAR(a.inlEndpoint[static_cast<size_t>(top / 2)], 10, 0.01);
    EXPECT_NEAR(a.figures.gainErrorPercent, 0, 1e-4);
}

TEST(Figures, MissingCodeAndStepBackwards)
{
    const Conditions c{kPm10, Coding::Binary, 16};
    const double lsb = c.lsb();
    // Code 1000 reads as 999 (a missing step), code 2000 a quarter LSB below 1999.
    const auto v = [&](int k) {
        return k == 1000 ? c.ideal(999) : k == 2000 ? c.ideal(1999) - 0.25 * lsb : c.ideal(k);
    };
    const ChannelAnalysis a = Analyse(sweep(c, v), c);
    EXPECT_NEAR(a.dnl[999], -1, 1e-2);
    EXPECT_NEAR(a.dnl[1000], 1, 1e-2);
    EXPECT_NEAR(a.figures.dnlMinLsb, -1.25, 1e-2);
    EXPECT_NEAR(a.figures.dnlMaxLsb, 1.25, 1e-2);
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
    EXPECT_NEAR(Analyse(readings, twos).figures.inlEndpointMaxLsb, 0, 2e-3);
    // Read as straight binary the same data jumps down once, at the carry.
    EXPECT_EQ(Analyse(readings, Conditions{kPm10, Coding::Binary, 16}).figures.decreasingSteps, 1);
    // A unipolar range is straight binary in either coding.
    EXPECT_EQ(Conditions({1, Coding::TwosComplement, 16}).position(0), 0);
}

TEST(Figures, GroupedCodesAreAveragedAndStoppedSweepsCountWhatIsThere)
{
    // 12 bits: each code held for 16 indexes; readings alternating +-1 mV about
    // the ideal average out.
    const Conditions c{kPm10, Coding::Binary, 12};
    std::vector<float> r = sweep(c, ideal(c));
    for (size_t i = 0; i < r.size(); ++i)
        r[i] += (i % 2 ? 0.001f : -0.001f);
    ChannelAnalysis a = Analyse(r, c);
    EXPECT_EQ(a.figures.codes, 4096);
    EXPECT_NEAR(a.figures.inlBestfitMaxLsb, 0, 1e-3);

    // A sweep stopped after 40,000 indexes at 14 bits: codes 0 .. 9999.
    const Conditions c14{kPm5, Coding::Binary, 14};
    a = Analyse(sweep(c14, ideal(c14), 40000), c14);
    EXPECT_EQ(a.figures.codes, 10000);
    EXPECT_TRUE(std::isnan(a.volts[10000]));
    EXPECT_NEAR(a.figures.gainErrorPercent, 0, 1e-4);
    // Stopped in two's complement: the transfer starts at mid scale, and the
    // offset is taken against the ideal there, not against the bottom.
    const Conditions t{kPm5, Coding::TwosComplement, 16};
    a = Analyse(sweep(t, ideal(t), 100), t);
    EXPECT_EQ(a.figures.codes, 100);
    EXPECT_NEAR(a.figures.offsetErrorLsb, 0, 1e-2);

    // Nothing measured, one code, and a channel that does not move.
    EXPECT_TRUE(std::isnan(Analyse({}, c).figures.offsetErrorMv));
    EXPECT_TRUE(std::isnan(Analyse(sweep(c, ideal(c), 16), c).figures.gainErrorPercent));
    a = Analyse(std::vector<float>(kSweepSteps, 0.0f), c);
    EXPECT_TRUE(std::isnan(a.figures.inlEndpointMaxLsb) && std::isnan(a.figures.dnlMaxLsb));
    EXPECT_NEAR(a.figures.gainErrorPercent, -100, 1e-9);
    EXPECT_EQ(Notes(0, a).size(), 1u);
}

TEST(Ranges, NamesOptionsAndDefaults)
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

    // The default: the span nearest the lowest and highest reading; the ADC
    // stops at ±10 V, so ±10.8V data reads as ±10V.
    const std::pair<std::vector<float>, int> cases[] = {
        {{-10.0f, 0.0f, 9.9975f}, 4}, {{0.0f, 4.99f}, 0}, {{0.0f, 9.9975f}, 1}, {{-5.0f, 4.99f}, 3}, {{}, 0}};
    for (const auto& [readings, range] : cases)
        EXPECT_EQ(DefaultRange(readings), range);
}

TEST(Report, JsonAndCsvCarryEveryFigureInOrder)
{
    const Conditions c{kPm10, Coding::TwosComplement, 14};
    std::array<ChannelAnalysis, kChannels> channels;
    for (size_t ch = 0; ch < kChannels; ++ch)
        channels[ch] = Analyse(ch == 3 ? std::vector<float>{} : sweep(c, ideal(c)), c);
    const std::string json = FiguresJson(channels);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
    const QJsonArray list = doc.object()["channels"].toArray();
    ASSERT_EQ(list.size(), 4);
    const QStringList keys = {"channel", "range", "coding", "resolution", "codes", "lsb_mv", "measurement_step_lsb",
                              "offset_error_lsb", "offset_error_mv", "gain_error_percent", "inl_endpoint_max_lsb",
                              "inl_bestfit_max_lsb", "dnl_min_lsb", "dnl_max_lsb", "decreasing_steps"};
    const QJsonObject a = list[0].toObject();
    EXPECT_EQ(QStringList(a.keys()).size(), keys.size());
    for (const QString& k : keys)
        EXPECT_TRUE(a.contains(k)) << k.toStdString();
    EXPECT_EQ(a["range"].toString(), QString::fromUtf8("\u00B110V"));
    EXPECT_EQ(a["coding"].toString(), "twos");
    EXPECT_EQ(a["resolution"].toInt(), 14);
    EXPECT_EQ(a["codes"].toInt(), 16384);
    EXPECT_DOUBLE_EQ(a["lsb_mv"].toDouble(), 20000.0 / 16384);
    EXPECT_EQ(list[3].toObject()["channel"].toString(), "D");
    EXPECT_TRUE(list[3].toObject()["offset_error_mv"].isNull());
    // The object a server would serve is the document's element, verbatim.
    EXPECT_NE(json.find(ChannelJson(1, channels[1])), std::string::npos);

    const std::string csv = FiguresCsv(channels);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), QStringList(keys).join(",").toStdString());
    EXPECT_NE(csv.find("\r\nD,\u00B110V,twos,14,0,1.220703125,2,,,,,,,,0\r\n"), std::string::npos) << csv;
    EXPECT_EQ(Number(-0.0), "0");
}

TEST(Report, NotesSayWhenTheAdcLimitsWhatTheFiguresMean)
{
    // Through the ADC: ±10V reaches the top of its scale only in its last
    // step; ±10.8V runs far beyond it at both ends.
    const auto adc = [](double v) { return std::clamp(std::floor((v + 10) * 409.6 + 0.5), 0.0, 8191.0) / 409.6 - 10; };
    const auto notesOf = [&](int range) {
        const Conditions c{range, Coding::Binary, 16};
        std::string all;
        for (const auto& n : Notes(1, Analyse(sweep(c, [&](int k) { return adc(c.ideal(k)); }), c)))
            all += n + "|";
        return all;
    };
    const std::string pm10 = notesOf(kPm10);
    EXPECT_EQ(pm10.find("end of the ADC's scale"), std::string::npos) << pm10;
    EXPECT_NE(pm10.find("Channel B: the board's ADC measures in steps of 8.0 LSB"), std::string::npos) << pm10;
    EXPECT_NE(notesOf(5).find("codes read at the end of the ADC's scale"), std::string::npos);
    const Conditions fine{kPm5, Coding::Binary, 12};
    EXPECT_TRUE(Notes(0, Analyse(sweep(fine, ideal(fine)), fine)).empty());
    // ±5V readings taken as +5V.
    const Conditions wrong{0, Coding::Binary, 12};
    const auto notes = Notes(0, Analyse(sweep(fine, ideal(fine)), wrong));
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes[0], "Channel A: the readings run from -5.0 V to 5.0 V, beyond the +5V range: choose the range "
                        "the channel was set to when it was swept.");
}
