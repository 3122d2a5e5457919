// qv4816x-analyse: the figures of a sweep data file, in the analysis window
// or, with --json, on standard output without any display.
#include "analysiswindow.h"

#include "analysis/datafile.h"
#include "analysis/report.h"
#include "runtime/cmdline.h"
#include "runtime/processstart.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

using namespace analysis;

namespace {

struct Arguments {
    AnalysisWindow::RangeChoice ranges{};
    Coding coding = Coding::Binary;
    int resolution = 16;
    bool json = false;
    bool open = false;  // no FILE: pick one in a file dialog
    std::string file;
};

const cmdline::Program& AnalyseProgram()
{
    using V = cmdline::Option::Value;
    static const cmdline::Program program{
        "qv4816x-analyse",
        "[--range R] [--coding binary|twos] [--resolution 16|14|12] [--json] [--open] [FILE]",
        "\n"
        "Shows the transfer, INL and DNL of the four channels of a sweep data file,\n"
        "and the figures a datasheet quotes: offset and gain error, INL (end-point\n"
        "and best-fit), DNL, decreasing steps, and the ADC's measurement step.",
        "Without --json the analysis window opens, on FILE when given (with --open\n"
        "and no FILE, on the file picked in a file dialog).\n"
        "Exit status: 0 on success, 2 for a bad option or a file that cannot be read.",
        cmdline::PackageVersion(),
        {
            {"range", V::Required, "R",
             "output range of every channel (+5V, +10V, +10.8V, +-5V,\n"
             "+-10V, +-10.8V; \"\xC2\xB1\" for \"+-\" too), or per channel:\n"
             "A=+-10V,B=+5V. Default: the range whose span fits the\n"
             "channel's lowest and highest reading best."},
            {"coding", V::Required, "C",
             "binary (default) or twos (two's complement; bipolar\n"
             "ranges only)"},
            {"resolution", V::Required, "N", "16 (default), 14 or 12 bits"},
            {"json", V::None, {},
             "print the figures as one JSON object and open nothing\n"
             "(needs no display); notes go to standard error"},
            {"open", V::None, {}, "without FILE: ask for the file in a file dialog"},
        },
        1,
    };
    return program;
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "qv4816x-analyse: %s\n", message.c_str());
    return 2;
}

// Parses argv; returns -1 to go on, otherwise the exit status.
int parse(int argc, char** argv, Arguments& args)
{
    cmdline::Parsed parsed;
    if (const int status = cmdline::Parse(AnalyseProgram(), argc, argv, parsed); status >= 0)
        return status;
    for (const auto& [name, given] : parsed.given) {
        const std::string value = given.value_or("");
        std::string why;
        if (name == "json") {
            args.json = true;
        } else if (name == "open") {
            args.open = true;
        } else if (name == "range") {
            if (!ParseRangeList(value, args.ranges, why))
                return cmdline::Fail(AnalyseProgram(), "--range: " + why);
        } else if (name == "coding") {
            const auto coding = CodingFromText(value);
            if (!coding)
                return cmdline::Fail(AnalyseProgram(), "--coding: '" + value + "' is neither binary nor twos");
            args.coding = *coding;
        } else if (name == "resolution") {
            if (value != "16" && value != "14" && value != "12")
                return cmdline::Fail(AnalyseProgram(), "--resolution: '" + value + "' is not 16, 14 or 12");
            args.resolution = std::stoi(value);
        }
    }
    if (!parsed.operands.empty())
        args.file = parsed.operands.front();
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    PrepareProcess();
    Arguments args;
    if (const int status = parse(argc, argv, args); status >= 0)
        return status;
    SweepData data;
    if (!args.file.empty()) {
        ReadError error;
        if (!ReadSweepFile(args.file, data, error))
            return fail(args.file + ": " + error.Text());
    }
    if (args.json) {
        if (args.file.empty())
            return cmdline::Fail(AnalyseProgram(), "--json needs a FILE");
        std::array<ChannelAnalysis, kChannels> channels;
        for (int ch = 0; ch < kChannels; ++ch) {
            const size_t i = static_cast<size_t>(ch);
            const Conditions c{args.ranges[i].value_or(DefaultRange(data.volts[i])), args.coding, args.resolution};
            channels[i] = Analyse(data.volts[i], c);
            for (const std::string& note : Notes(ch, channels[i]))
                std::fprintf(stderr, "note: %s\n", note.c_str());
        }
        const std::string json = FiguresJson(channels);
        std::fwrite(json.data(), 1, json.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    QApplication app(argc, argv);
    AnalysisWindow window;
    if (!args.file.empty())
        window.OpenFile(QString::fromStdString(args.file), args.ranges, args.coding, args.resolution);
    window.show();
    if (args.file.empty() && args.open)
        QTimer::singleShot(0, &window, [&window] { window.AskForFile(); });
    return app.exec();
}
