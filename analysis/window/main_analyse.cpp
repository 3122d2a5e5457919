// qv4816x-analyse: the figures of a sweep data file, in the analysis window
// or, with --json or --csv, on standard output without any display.
#include "analysiswindow.h"

#include "analysis/conditions.h"
#include "analysis/datafile.h"
#include "analysis/report.h"
#include "analysis/results.h"
#include "controls/widgetmsgbox.h"
#include "runtime/cmdline.h"
#include "runtime/processstart.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace analysis;

namespace {

struct Arguments {
    Choice choice;
    bool json = false;
    bool csv = false;
    bool open = false;  // no FILE: pick one in a file dialog
    std::string file;
};

const cmdline::Program& AnalyseProgram()
{
    using V = cmdline::Option::Value;
    static const cmdline::Program program{
        "qv4816x-analyse",
        "[--range R] [--coding binary|twos] [--resolution 16|14|12] [--ignore-companion] [--json | --csv] [--open] "
        "[FILE]",
        "\n"
        "Shows the transfer, INL and DNL of the four channels of a sweep data file\n"
        "(or of the channel of a characterisation's results file, at its codes),\n"
        "and the figures a datasheet quotes, each with its uncertainty: offset, gain,\n"
        "zero-scale, full-scale and bipolar-zero error, INL (end-point and best-fit),\n"
        "DNL, decreasing steps, and the ADC's measurement step. A figure the data\n"
        "cannot support is left out, and a note says why.\n"
        "\n"
        "The range, coding and resolution come from the companion file FILE.json\n"
        "that the program saves beside every data file; where there is none, from\n"
        "the options below; the range, when not given either, is guessed from the\n"
        "readings. The notes say which.",
        "Without --json or --csv the analysis window opens, on FILE when given (with\n"
        "--open and no FILE, on the file picked in a file dialog); that needs a\n"
        "display.\n"
        "Exit status: 0 when the file was read (whatever its figures), 2 for a bad\n"
        "option, a file that cannot be read, or no display for the window.",
        cmdline::PackageVersion(),
        {
            {"range", V::Required, "R",
             "output range of every channel (+5V, +10V, +10.8V, +-5V,\n"
             "+-10V, +-10.8V; \"\xC2\xB1\" for \"+-\" too), or per channel:\n"
             "A=+-10V,B=+5V"},
            {"coding", V::Required, "C",
             "binary (default) or twos (two's complement; bipolar\n"
             "ranges only)"},
            {"resolution", V::Required, "N", "16 (default), 14 or 12 bits"},
            {"ignore-companion", V::None, {}, "leave the companion file aside: the options above and\nguesses only"},
            {"json", V::None, {},
             "print the figures, their uncertainties and the notes as\n"
             "one JSON object and open nothing (needs no display);\n"
             "the notes go to standard error as well"},
            {"csv", V::None, {},
             "print one line per code measured (channel, position,\n"
             "code, volts, spread, readings, uncertainty, ideal volts,\n"
             "INL both ways, DNL) and open nothing"},
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
        } else if (name == "csv") {
            args.csv = true;
        } else if (name == "open") {
            args.open = true;
        } else if (name == "ignore-companion") {
            args.choice.overRecord = true;
        } else if (name == "range") {
            if (!ParseRangeList(value, args.choice.ranges, why))
                return cmdline::Fail(AnalyseProgram(), "--range: " + why);
        } else if (name == "coding") {
            const auto coding = CodingFromText(value);
            if (!coding)
                return cmdline::Fail(AnalyseProgram(), "--coding: '" + value + "' is neither binary nor twos");
            args.choice.coding = *coding;
        } else if (name == "resolution") {
            if (value != "16" && value != "14" && value != "12")
                return cmdline::Fail(AnalyseProgram(), "--resolution: '" + value + "' is not 16, 14 or 12");
            args.choice.resolution = std::stoi(value);
        }
    }
    if (args.json && args.csv)
        return cmdline::Fail(AnalyseProgram(), "--json or --csv, not both");
    if (!parsed.operands.empty())
        args.file = parsed.operands.front();
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

// A characterisation's results file: the figures of its channel, or its codes.
int PrintResults(const Arguments& args)
{
    Results results;
    ReadError error;
    if (!ReadResultsFile(args.file, results, error))
        return fail(args.file + ": " + error.Text());
    Conditions c = results.header.conditions;
    const size_t channel = static_cast<size_t>(results.header.channel);
    std::string note = ResultsNote(results);
    if (args.choice.ranges[channel] || args.choice.coding || args.choice.resolution) {
        c.range = args.choice.ranges[channel].value_or(c.range);
        c.coding = args.choice.coding.value_or(c.coding);
        c.resolution = args.choice.resolution.value_or(c.resolution);
        note += " Analysed under " + std::string(c.span().name) + ", " + std::string(CodingName(c.coding)) + ", " +
                std::to_string(c.resolution) + " bits, as the options ask.";
    }
    std::array<ChannelAnalysis, kChannels> channels;
    for (size_t i = 0; i < kChannels; ++i)
        channels[i].Reset(c, kBoardAdc);
    AnalyseResults(results, c, channels[channel], note);
    for (const std::string& n : Notes(static_cast<int>(channel), channels[channel]))
        std::fprintf(stderr, "note: %s\n", n.c_str());
    const std::string out = args.json ? ResultsJson(results, channels[channel]) + "\n" : CodesCsv(channels);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    PrepareProcess();
    Arguments args;
    if (const int status = parse(argc, argv, args); status >= 0)
        return status;
    if (!args.file.empty() && IsResultsFile(args.file) && (args.json || args.csv))
        return PrintResults(args);
    SweepData data;
    if (!args.file.empty() && !IsResultsFile(args.file)) {
        ReadError error;
        if (!ReadSweepFile(args.file, data, error))
            return fail(args.file + ": " + error.Text());
    }
    if (args.json || args.csv) {
        if (args.file.empty())
            return cmdline::Fail(AnalyseProgram(), std::string(args.json ? "--json" : "--csv") + " needs a FILE");
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
    if (!args.file.empty())
        window.OpenFile(QFile::decodeName(args.file.c_str()), args.choice);
    window.show();
    if (args.file.empty() && args.open)
        QTimer::singleShot(0, &window, [&window] { window.AskForFile(); });
    return app.exec();
}
