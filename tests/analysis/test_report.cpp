// The figures as text: the JSON and CSV of the figures with their
// uncertainties and notes, the per-code CSV read back, and the text of
// numbers and notes whatever the readings.
#include "analysis/figures.h"
#include "analysis/report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cmath>
#include <gtest/gtest.h>
#include <sstream>

using namespace analysis;

namespace {

constexpr int kPm10 = 4;  // "±10V"

std::vector<float> ramp(const Conditions& c, size_t steps = kSweepSteps)
{
    std::vector<float> r(steps);
    for (size_t i = 0; i < steps; ++i)
        r[i] = static_cast<float>(c.ideal(c.position(static_cast<int>(i >> (16 - c.resolution)))));
    return r;
}

QJsonObject parsed(const std::string& json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
    return doc.object();
}

}  // namespace

TEST(Report, JsonAndCsvCarryEveryFigureItsUncertaintyAndTheNotes)
{
    const Conditions c{kPm10, Coding::TwosComplement, 14};
    std::array<ChannelAnalysis, kChannels> channels;
    for (size_t ch = 0; ch < kChannels; ++ch)
        channels[ch] = Analyse(ch == 3 ? std::vector<float>{} : ramp(c), c, ch == 1 ? "range guessed: \u00B110V \"here\"." : "");
    const std::string json = FiguresJson(channels);
    EXPECT_NE(json.find("\"notes\": [\"range guessed: \\u00b110V \\\"here\\\".\", \"the board's"), std::string::npos) << json;
    const QJsonArray list = parsed(json)["channels"].toArray();
    ASSERT_EQ(list.size(), 4);
    QStringList keys = {"channel", "range", "coding", "resolution", "codes", "lsb_mv", "measurement_step_lsb"};
    for (const char* figure : {"offset_error_lsb", "offset_error_mv", "gain_error_percent", "zero_scale_error_mv",
                               "zero_scale_error_lsb", "full_scale_error_mv", "full_scale_error_lsb",
                               "bipolar_zero_error_mv", "bipolar_zero_error_lsb", "inl_endpoint_max_lsb",
                               "inl_bestfit_max_lsb", "dnl_min_lsb", "dnl_max_lsb"})
        keys << figure << QString(figure) + "_uncertainty";
    keys << "decreasing_steps" << "notes";
    const QJsonObject a = list[0].toObject();
    EXPECT_EQ(QStringList(a.keys()).size(), keys.size());
    for (const QString& k : keys)
        EXPECT_TRUE(a.contains(k)) << k.toStdString();
    EXPECT_EQ(a["range"].toString(), QString::fromUtf8("\u00B110V"));
    EXPECT_EQ(a["coding"].toString(), "twos");
    EXPECT_EQ(a["resolution"].toInt(), 14);
    EXPECT_EQ(a["codes"].toInt(), 16384);
    EXPECT_DOUBLE_EQ(a["lsb_mv"].toDouble(), 20000.0 / 16384);
    // Exact readings on the board's ADC: within half its step, 1.3 mV.
    EXPECT_NEAR(a["offset_error_mv"].toDouble(), 0, 1e-3);
    EXPECT_DOUBLE_EQ(a["offset_error_mv_uncertainty"].toDouble(), 1.3);
    EXPECT_EQ(a["notes"].toArray().size(), 1);  // the ADC's step of 2 LSB
    EXPECT_EQ(list[1].toObject()["notes"].toArray()[0].toString(), QString::fromUtf8("range guessed: \u00B110V \"here\"."));
    const QJsonObject d = list[3].toObject();
    EXPECT_EQ(d["channel"].toString(), "D");
    EXPECT_TRUE(d["offset_error_mv"].isNull() && d["offset_error_mv_uncertainty"].isNull());
    EXPECT_EQ(d["notes"].toArray()[0].toString(), "no codes were measured, so there is no transfer to judge.");
    // The object a server would serve is the document's element, verbatim.
    EXPECT_NE(json.find(ChannelJson(1, channels[1])), std::string::npos);

    const std::string csv = FiguresCsv(channels);
    EXPECT_EQ(csv.substr(0, csv.find("\r\n")), keys.join(",").toStdString());
    EXPECT_NE(csv.find("\r\nD,\u00B110V,twos,14,0,1.220703125,2" + std::string(27, ',') +
                       "0,\"no codes were measured, so there is no transfer to judge.\"\r\n"),
              std::string::npos) << csv;
    EXPECT_NE(csv.find(",\"range guessed: \u00B110V \"\"here\"\". the board's"), std::string::npos) << csv;
    EXPECT_EQ(Number(-0.0), "0");
}

TEST(Report, NotesStayReadableWhateverTheReadings)
{
    // A reading of 1e38 (a float the reader takes): beyond what the board's
    // ADC can read, and, from a meter without limits, beyond the range; in
    // the notes and through the JSON as ASCII.
    const Conditions c{0, Coding::Binary, 16};
    std::vector<float> r = ramp(c);
    r[100] = 1e38f;
    const ChannelAnalysis adc = Analyse(r, c);
    ChannelAnalysis meter;
    GroupSweep(r, c, meter, Instrument{"the meter", 1e-6, -INFINITY, INFINITY});
    Evaluate(meter);
    std::string notes;
    for (const ChannelAnalysis* a : {&adc, static_cast<const ChannelAnalysis*>(&meter)})
        for (const auto& n : Notes(2, *a))
            notes += n + "\n";
    EXPECT_NE(notes.find("Channel C: 1 code reads beyond what the board's ADC can read (-10.000 V to 9.998 V), as far "
                         "as 1.0e+38 V: not a reading it gave, so it is left out.\n"),
              std::string::npos) << notes;
    EXPECT_NE(notes.find("Channel C: the readings run from 0.0 V to 1.0e+38 V, beyond the +5V range"), std::string::npos)
        << notes;
    for (const char k : notes)
        EXPECT_TRUE(k == '\n' || (k >= ' ' && k < 127)) << notes;
    EXPECT_TRUE(adc.figures.inlEndpointMaxLsb.known() && adc.figures.inlEndpointMaxLsb.value < 1);
    EXPECT_FALSE(parsed(FiguresJson(std::span(&meter, 1))).isEmpty());

    EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "a\\\"b\\\\c\\u000a\\u0001");
    EXPECT_EQ(JsonString("\u00B110V \U0001F600"), "\\u00b110V \\ud83d\\ude00");
    EXPECT_EQ(JsonString("\xC0\xAF\xFF\xE2\x82"), "\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd");
    EXPECT_EQ(Fixed(1e300, 1), "1.0e+300");
    EXPECT_EQ(Fixed(std::nan(""), 1), "?");
    EXPECT_EQ(Number(1e308), "1e+308");
}

TEST(Report, CodesCsvReadsBackAsTheAnalysis)
{
    // A 12-bit ±10V sweep with a bow and noise, and a stopped 16-bit one:
    // every position measured comes back, each field as the arrays hold it.
    std::array<ChannelAnalysis, 2> channels;
    const Conditions c12{kPm10, Coding::TwosComplement, 12};
    std::vector<float> r = ramp(c12);
    for (size_t i = 0; i < r.size(); ++i)
        r[i] += static_cast<float>(0.004 * std::sin(i * 1e-4) + (i % 3) * 0.0007);
    Analyse(r, c12, channels[0]);
    const Conditions c16{1, Coding::Binary, 16};
    Analyse(ramp(c16, 30000), c16, channels[1]);

    const std::string csv = CodesCsv(channels);
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, std::string(kCodesCsvHeader) + "\r");
    EXPECT_EQ(line, "channel,position,code,volts_v,sigma_v,readings,uncertainty_v,ideal_v,inl_endpoint_lsb,"
                    "inl_bestfit_lsb,dnl_lsb\r");
    size_t rows[2] = {0, 0};
    while (std::getline(in, line)) {
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');)
            f.push_back(field);
        if (line.back() == ',')
            f.push_back("");
        ASSERT_EQ(f.size(), 11u) << line;
        const size_t ch = static_cast<size_t>(f[0][0] - 'A');
        ASSERT_LT(ch, 2u);
        const ChannelAnalysis& a = channels[ch];
        const size_t p = std::stoul(f[1]);
        ++rows[ch];
        const auto same = [&](const std::string& text, double expected) {
            if (std::isnan(expected))
                EXPECT_EQ(text, "") << line;
            else
                EXPECT_NEAR(std::stod(text), expected, std::abs(expected) * 1e-11 + 1e-15) << line;
        };
        EXPECT_EQ(std::stoi(f[2]), a.conditions.code(static_cast<int>(p)));
        same(f[3], a.volts[p]);
        same(f[4], a.sigma[p]);
        EXPECT_EQ(std::stoul(f[5]), a.count[p]);
        same(f[6], a.uncertainty[p]);
        same(f[7], a.conditions.ideal(static_cast<double>(p)));
        same(f[8], a.inlEndpoint[p]);
        same(f[9], a.inlBestfit[p]);
        same(f[10], a.dnl[p]);
    }
    EXPECT_EQ(rows[0], 4096u);
    EXPECT_EQ(rows[1], 30000u);
}
