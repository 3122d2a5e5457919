// qv4816x-analyse: the figures of a sweep data file, in the analysis window
// or, with --json or --csv, on standard output without any display.
#include "analysiswindow.h"

#include "analysis/conditions.h"
#include "analysis/datafile.h"
#include "analysis/report.h"
#include "controls/widgetmsgbox.h"

#include <QApplication>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace analysis;

namespace {

const char kUsage[] =
    "Usage: qv4816x-analyse [--range R] [--coding binary|twos] [--resolution 16|14|12]\n"
    "                       [--ignore-companion] [--json | --csv] [FILE]\n"
    "\n"
    "Shows the transfer, INL and DNL of the four channels of a sweep data file,\n"
    "and the figures a datasheet quotes, each with its uncertainty: offset, gain,\n"
    "zero-scale, full-scale and bipolar-zero error, INL (end-point and best-fit),\n"
    "DNL, decreasing steps, and the ADC's measurement step. A figure the data\n"
    "cannot support is left out, and a note says why.\n"
    "\n"
    "The range, coding and resolution come from the companion file FILE.json\n"
    "that the program saves beside every data file; where there is none, from\n"
    "the options below; the range, when not given either, is guessed from the\n"
    "readings. The notes say which.\n"
    "\n"
    "  --range R           output range of every channel (+5V, +10V, +10.8V, +-5V,\n"
    "                      +-10V, +-10.8V; \"\xC2\xB1\" for \"+-\" too), or per channel:\n"
    "                      A=+-10V,B=+5V\n"
    "  --coding C          binary (default) or twos (two's complement; bipolar\n"
    "                      ranges only)\n"
    "  --resolution N      16 (default), 14 or 12 bits\n"
    "  --ignore-companion  take the options above even where a companion file\n"
    "                      recorded the conditions\n"
    "  --json              print the figures, their uncertainties and the notes as\n"
    "                      one JSON object and open nothing (needs no display)\n"
    "  --csv               print one line per code measured (channel, position,\n"
    "                      code, volts, spread, readings, uncertainty, ideal volts,\n"
    "                      INL both ways, DNL) and open nothing\n"
    "  --help              this text\n"
    "\n"
    "Without --json or --csv the analysis window opens, on FILE when given; that\n"
    "needs a display.\n"
    "Exit status: 0 when the file was read (whatever its figures), 2 for a bad\n"
    "option, a file that cannot be read, or no display for the window.\n";

struct Arguments {
    Choice choice;
    bool json = false;
    bool csv = false;
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
        } else if (arg == "--csv") {
            args.csv = true;
        } else if (arg == "--ignore-companion") {
            args.choice.overRecord = true;
        } else if (arg == "--range") {
            if (!ParseRangeList(value, args.choice.ranges, why))
                return fail("--range: " + why);
        } else if (arg == "--coding") {
            const auto coding = CodingFromText(value);
            if (!coding)
                return fail("--coding: '" + value + "' is neither binary nor twos");
            args.choice.coding = *coding;
        } else if (arg == "--resolution") {
            if (value != "16" && value != "14" && value != "12")
                return fail("--resolution: '" + value + "' is not 16, 14 or 12");
            args.choice.resolution = std::stoi(value);
        } else if (arg.rfind("-", 0) == 0 && arg != "-") {
            return fail("unknown option '" + arg + "' (see --help)");
        } else if (args.file.empty()) {
            args.file = arg;
        } else {
            return fail("one file only (see --help)");
        }
    }
    if (args.json && args.csv)
        return fail("--json or --csv, not both");
    return -1;
}

// Whether Qt can open a window here: a platform chosen, or an X or Wayland display.
bool haveDisplay()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* v = std::getenv(name); v != nullptr && *v != '\0')
            return true;
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    Arguments args;
    if (const int status = parse(argc, argv, args); status >= 0)
        return status;
    if (args.json || args.csv) {
        if (args.file.empty())
            return fail(std::string(args.json ? "--json" : "--csv") + " needs a FILE (see --help)");
        SweepData data;
        ReadError error;
        if (!ReadSweepFile(args.file, data, error))
            return fail(args.file + ": " + error.Text());
        const Chosen chosen = ChooseForFile(args.file, data, args.choice);
        std::array<ChannelAnalysis, kChannels> channels;
        for (size_t i = 0; i < kChannels; ++i) {
            Analyse(data.volts[i], chosen.channels[i], channels[i], chosen.notes[i]);
            for (const std::string& note : Notes(static_cast<int>(i), channels[i]))
                std::fprintf(stderr, "note: %s\n", note.c_str());
        }
        const std::string out = args.json ? FiguresJson(channels) : CodesCsv(channels);
        std::fwrite(out.data(), 1, out.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (!haveDisplay())
        return fail("no display to open the window on: use --json or --csv to print the figures (see --help)");

    QApplication app(argc, argv);
    UseWidgetMessageBoxes();
    AnalysisWindow window;
    if (!args.file.empty()) {
        SweepData probe;
        ReadError error;
        if (!ReadSweepFile(args.file, probe, error))
            return fail(args.file + ": " + error.Text());
        window.OpenFile(QFile::decodeName(args.file.c_str()), args.choice);
    }
    window.show();
    return app.exec();
}
