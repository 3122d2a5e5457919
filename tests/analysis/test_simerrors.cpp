// The simulated board's static errors: the options that set them, and a
// sweep of the board analysed back to the errors it was given, within the
// ADC's measurement step. Also qv4816x-analyse run as its users run it.
#include "analysis/companion.h"
#include "analysis/datafile.h"
#include "analysis/figures.h"
#include "analysis/report.h"
#include "options.h"
#include "sim/device.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace analysis;
using evlink::sim::Device;

namespace {

// Sweeps the board as the test window does, all four channels on `range`,
// and returns channel A's readings.
std::vector<float> sweepBoard(const evlink::sim::DeviceConfig& config, int range, bool twos = false)
{
    Device d(config);
    d.SetPins(twos ? 0x08 : 0x0C);         // CLR high, LDAC low: writes reach the outputs at once
    d.Frame(2u << 19 | 0x0F);              // power up A to D
    d.Frame(1u << 19 | 4u << 16 | static_cast<unsigned>(range));
    std::vector<float> volts(kSweepSteps);
    for (uint32_t i = 0; i < kSweepSteps; ++i) {
        d.Frame(4u << 16 | i);
        d.AdcTransfer(0x8020);
        volts[i] = static_cast<float>((d.AdcTransfer(0) & 0x1FFF) * 20 / 8192.0 - 10);
    }
    return volts;
}

}  // namespace

TEST(SimErrors, OptionsAreParsedAndBoundedAndZeroByDefault)
{
    std::vector<std::string> complaints;
    auto o = evlink::ParseOptions("only,offset-mv=-2.5,gain-ppm=300,inl-lsb=12,dnl-lsb=0.5,noise-mv=1", &complaints);
    EXPECT_TRUE(complaints.empty());
    EXPECT_EQ(o.offsetMv, -2.5);
    EXPECT_EQ(o.gainPpm, 300);
    EXPECT_EQ(o.inlLsb, 12);
    EXPECT_EQ(o.dnlLsb, 0.5);
    EXPECT_EQ(o.noiseMv, 1);
    o = evlink::ParseOptions("noise-mv=-1,offset-mv=x,gain-ppm=1e3,inl-lsb=,dnl-lsb=99999999,offset-mv", &complaints);
    EXPECT_EQ(complaints.size(), 6u);
    EXPECT_TRUE(o.offsetMv == 0 && o.gainPpm == 0 && o.inlLsb == 0 && o.dnlLsb == 0 && o.noiseMv == 0);
}

TEST(SimErrors, ASweepGivesBackTheErrorsTheBoardWasGivenWithinTheirUncertainty)
{
    const auto within = [](const Figure& f, double expected) {
        EXPECT_TRUE(f.known());
        EXPECT_LE(std::abs(f.value - expected), f.uncertainty) << f.value << " vs " << expected;
    };
    // ±5V keeps the outputs inside the ADC's reach; at 12 bits the
    // measurement step is one LSB, at 16 bits sixteen.
    for (const int bits : {12, 16}) {
        evlink::sim::DeviceConfig config;
        config.resolution = bits;
        config.errors = {5, 300, 12, 0, 0};
        const Conditions c{3, Coding::Binary, bits};
        const ChannelAnalysis a = Analyse(sweepBoard(config, 3), c);
        const Figures& f = a.figures;
        SCOPED_TRACE(bits);
        // The board's transfer: the span scaled about its bottom, the bow 0
        // at both ends and 12 LSB at mid code, then the offset.
        const int top = c.codes() - 1;
        const auto truth = [&](int k) {
            const double t = double(k) / top;
            return 10.0 * (k << (16 - bits)) / 65536 * 1.0003 + 12 * c.lsb() * 4 * t * (1 - t) - 5 + 0.005;
        };
        within(f.offsetErrorMv, 5);
        within(f.zeroScaleErrorMv, 5);
        within(f.fullScaleErrorMv, (truth(top) - c.ideal(top)) * 1000);
        within(f.bipolarZeroErrorLsb, (truth(top / 2 + 1) - c.ideal(top / 2 + 1)) / c.lsb());
        within(f.gainErrorPercent, 0.03);
        within(f.inlEndpointMaxLsb, 12);
        within(f.inlBestfitMaxLsb, 8);
        // Offset and gain come back to within the ADC's step.
        EXPECT_LE(f.offsetErrorMv.uncertainty, kAdcStepVolts * 1000);
    }
    // A step of 3 LSB at the major carry, seen in two's complement as well.
    evlink::sim::DeviceConfig config;
    config.resolution = 12;
    config.errors.dnlLsb = 3;
    for (const bool twos : {false, true}) {
        const ChannelAnalysis a = Analyse(sweepBoard(config, 4, twos), Conditions{4, twos ? Coding::TwosComplement : Coding::Binary, 12});
        EXPECT_NEAR(a.dnl[2047], 3, 2 * a.figures.measurementStepLsb);
        within(a.figures.dnlMaxLsb, 3);
    }
    // Noise repeats from run to run, and averages out over a 12-bit code's
    // 16 readings; the figures still hold the truth within their +-.
    config.errors = {0, 0, 0, 0, 2};
    const auto noisy = sweepBoard(config, 3);
    EXPECT_EQ(noisy, sweepBoard(config, 3));
    config.errors.noiseMv = 0;
    EXPECT_NE(noisy, sweepBoard(config, 3));
    const Figures f = Analyse(noisy, Conditions{3, Coding::Binary, 12}).figures;
    EXPECT_LT(f.inlBestfitMaxLsb.value, 2);
    within(f.offsetErrorMv, 0);
    within(f.gainErrorPercent, 0);
    within(f.inlEndpointMaxLsb, 0);
    within(f.dnlMaxLsb, 0);
}

namespace {

// qv4816x-analyse with no display; standard output (and what `args`
// redirects) in `out`; the exit status.
int analyse(const std::string& args, std::string& out)
{
    FILE* p = ::popen(("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " QV_ANALYSE " " + args).c_str(), "r");
    out.clear();
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    const int status = ::pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

QJsonArray channelsOf(const std::string& json)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(json)).object()["channels"].toArray();
}

}  // namespace

TEST(Command, JsonCsvHelpAndUnreadableFiles)
{
    const std::string dir = QV_TEST_SCRATCH;
    const std::string good = dir + "/ramp.dat";
    {
        std::ofstream out(good, std::ios::binary);
        for (int i = 0; i < 65536; ++i) {
            const double v = -10 + 20.0 * (i >> 3 << 3) / 65536;  // ±10V through an 8-LSB ADC step
            out << ' ' << i << ',' << v << ',' << v << ',' << v / 2 << ", 0\r\n";
        }
        std::ofstream bad(dir + "/bad.dat", std::ios::binary);
        bad << " 0, 1, 2, 3, 4\r\n 1, 1, 2, 3\r\n";
    }
    std::string out;
    ASSERT_EQ(analyse("--json --range A=+-10V,B=\u00B110V --coding binary --resolution 16 " + good + " 2>/dev/null", out), 0)
        << out;
    const QJsonArray channels = channelsOf(out);
    ASSERT_EQ(channels.size(), 4) << out;
    const QJsonObject a = channels[0].toObject();
    EXPECT_EQ(a["range"].toString(), QString::fromUtf8("\u00B110V"));
    EXPECT_EQ(a["codes"].toInt(), 65536);
    EXPECT_NEAR(a["measurement_step_lsb"].toDouble(), 8, 1e-9);
    EXPECT_NEAR(a["dnl_min_lsb"].toDouble(), -1, 1e-3);
    EXPECT_GE(a["inl_endpoint_max_lsb_uncertainty"].toDouble(), 8);  // the ADC's step at least
    EXPECT_EQ(a["notes"].toArray()[0].toString(), QString::fromUtf8("range \u00B110V, straight binary and 16 bits as chosen."));
    EXPECT_TRUE(a["notes"].toArray()[1].toString().startsWith("the board's ADC measures in steps of 8.0 LSB"));
    EXPECT_EQ(channels[2].toObject()["range"].toString(), QString::fromUtf8("\u00B15V"));  // guessed
    EXPECT_TRUE(channels[2].toObject()["notes"].toArray()[0].toString().contains("range guessed from the readings"));
    EXPECT_TRUE(channels[3].toObject()["inl_endpoint_max_lsb"].isNull());

    EXPECT_EQ(analyse("--csv " + good + " 2>/dev/null", out), 0);
    EXPECT_EQ(out.rfind(std::string(kCodesCsvHeader) + "\r\nA,0,0,-10,0,1,", 0), 0u) << out.substr(0, 200);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1 + 4 * 65536);

    EXPECT_EQ(analyse("--json " + dir + "/bad.dat 2>&1", out), 2);
    EXPECT_EQ(out, "qv4816x-analyse: " + dir + "/bad.dat: line 2: expected 5 comma-separated fields (index, A, B, C, D), found 4\n");
    EXPECT_EQ(analyse("--json --range +-11V " + good + " 2>/dev/null", out), 2);
    EXPECT_EQ(analyse("--json --csv " + good + " 2>/dev/null", out), 2);
    // A FIFO nobody writes to: refused at once, not waited on.
    const std::string fifo = dir + "/analyse.fifo";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(analyse("--json " + fifo + " 2>&1", out), 2);
    EXPECT_EQ(out, "qv4816x-analyse: " + fifo + ": cannot read: it is a FIFO (named pipe), not a data file\n");
    ::unlink(fifo.c_str());
    EXPECT_EQ(analyse("--json " + good + " 2>&1 >/dev/null", out), 0);
    EXPECT_NE(out.find("note: Channel A: the board's ADC measures in steps of 8.0 LSB"), std::string::npos) << out;
    // The window without a display: a pointer to what works instead.
    EXPECT_EQ(analyse(good + " 2>&1", out), 2);
    EXPECT_EQ(out, "qv4816x-analyse: no display to open the window on: use --json or --csv to print the figures (see --help)\n");
    EXPECT_EQ(analyse("--help 2>&1", out), 0);
    EXPECT_EQ(out.rfind("Usage: qv4816x-analyse", 0), 0u);
}

TEST(Command, TwelveAndFourteenBitFilesWithAndWithoutTheirCompanion)
{
    // The simulated board at 12 and 14 bits on ±5V with known errors, saved
    // as the program saves it; analysed from the file with its companion,
    // then without, then with one of another file.
    for (const int bits : {12, 14}) {
        evlink::sim::DeviceConfig config;
        config.resolution = bits;
        config.errors = {5, 300, 12, 0, 0};
        const std::vector<float> a = sweepBoard(config, 3);
        const std::vector<float> flat(kSweepSteps, 1.0f);
        const std::string text = DataFileText({a, flat, flat, flat});
        const std::string path = std::string(QV_TEST_SCRATCH) + "/board" + std::to_string(bits) + ".dat";
        std::ofstream(path, std::ios::binary) << text;
        RecordedSweep recorded;
        recorded.ranges = {3, 3, 3, 3};
        recorded.coding = Coding::Binary;
        recorded.resolution = bits;
        recorded.steps = kSweepSteps;
        std::ofstream(CompanionPath(path), std::ios::binary) << CompanionText(recorded, "x", text);
        SCOPED_TRACE(bits);

        std::string out;
        ASSERT_EQ(analyse("--json --resolution 16 " + path + " 2>/dev/null", out), 0);
        QJsonObject channel = channelsOf(out)[0].toObject();
        EXPECT_EQ(channel["resolution"].toInt(), bits);
        EXPECT_EQ(channel["range"].toString(), QString::fromUtf8("\u00B15V"));
        EXPECT_LE(std::abs(channel["inl_endpoint_max_lsb"].toDouble() - 12), channel["inl_endpoint_max_lsb_uncertainty"].toDouble());
        EXPECT_TRUE(channel["notes"].toArray()[0].toString().endsWith(
            "as the companion file board" + QString::number(bits) + ".dat.json recorded them; 16 bits not taken: the companion "
            "file board" + QString::number(bits) + ".dat.json recorded otherwise."));

        // Without it: 16 bits assumed, and the 12-bit part's staircase read as INL.
        ASSERT_EQ(analyse("--json --ignore-companion " + path + " 2>/dev/null", out), 0);
        channel = channelsOf(out)[0].toObject();
        EXPECT_EQ(channel["resolution"].toInt(), 16);
        EXPECT_TRUE(channel["notes"].toArray()[0].toString().startsWith("straight binary and 16 bits assumed"));

        // A companion of another file is not taken, and the notes say so.
        std::ofstream(CompanionPath(path), std::ios::binary) << CompanionText(recorded, "x", text + " ");
        ASSERT_EQ(analyse("--json " + path + " 2>/dev/null", out), 0);
        channel = channelsOf(out)[0].toObject();
        EXPECT_EQ(channel["resolution"].toInt(), 16);
        EXPECT_TRUE(channel["notes"].toArray()[0].toString().startsWith(
            "the companion file board" + QString::number(bits) + ".dat.json was not taken: it describes another data file"));
        std::remove(CompanionPath(path).c_str());
        std::remove(path.c_str());
    }
}
