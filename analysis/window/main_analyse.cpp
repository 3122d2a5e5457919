// qv4816x-analyse: the figures of a sweep data file, in the analysis window
// or, with --json, on standard output without any display.
#include "analysiswindow.h"

#include "analysis/datafile.h"
#include "analysis/report.h"
#include "runtime/processstart.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

using namespace analysis;

namespace {

const char kUsage[] =
    "Usage: qv4816x-analyse [--range R] [--coding binary|twos] [--resolution 16|14|12] [--json] [FILE]\n"
    "\n"
    "Shows the transfer, INL and DNL of the four channels of a sweep data file,\n"
    "and the figures a datasheet quotes: offset and gain error, INL (end-point\n"
    "and best-fit), DNL, decreasing steps, and the ADC's measurement step.\n"
    "\n"
    "  --range R         output range of every channel (+5V, +10V, +10.8V, +-5V,\n"
    "                    +-10V, +-10.8V; \"\xC2\xB1\" for \"+-\" too), or per channel:\n"
    "                    A=+-10V,B=+5V. Default: the range whose span fits the\n"
    "                    channel's lowest and highest reading best.\n"
    "  --coding C        binary (default) or twos (two's complement; bipolar\n"
    "                    ranges only)\n"
    "  --resolution N    16 (default), 14 or 12 bits\n"
    "  --json            print the figures as one JSON object and open nothing\n"
    "                    (needs no display); notes go to standard error\n"
    "  --help            this text\n"
    "\n"
    "Without --json the analysis window opens, on FILE when given.\n"
    "Exit status: 0 on success, 2 for a bad option or a file that cannot be read.\n";

struct Arguments {
    AnalysisWindow::RangeChoice ranges{};
    Coding coding = Coding::Binary;
    int resolution = 16;
    bool json = false;
    std::string file;
};

int fail(const std::string& message)
{
    std::fprintf(stderr, "qv4816x-analyse: %s\n", message.c_str());
    return 2;
}

// Parses argv; returns -1 to go on, otherwise the exit status.
int parse(int argc, char** argv, Arguments& args)
{
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        const bool takesValue = arg == "--range" || arg == "--coding" || arg == "--resolution";
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
        } else if (takesValue) {
            if (i + 1 >= argc)
                return fail(arg + " needs a value (see --help)");
            value = argv[++i];
        }
        std::string why;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--json") {
            args.json = true;
        } else if (arg == "--range") {
            if (!ParseRangeList(value, args.ranges, why))
                return fail("--range: " + why);
        } else if (arg == "--coding") {
            const auto coding = CodingFromText(value);
            if (!coding)
                return fail("--coding: '" + value + "' is neither binary nor twos");
            args.coding = *coding;
        } else if (arg == "--resolution") {
            if (value != "16" && value != "14" && value != "12")
                return fail("--resolution: '" + value + "' is not 16, 14 or 12");
            args.resolution = std::stoi(value);
        } else if (arg.rfind("-", 0) == 0 && arg != "-") {
            return fail("unknown option '" + arg + "' (see --help)");
        } else if (args.file.empty()) {
            args.file = arg;
        } else {
            return fail("one file only (see --help)");
        }
    }
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
            return fail("--json needs a FILE (see --help)");
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
    return app.exec();
}
