#pragma once
// The results file of a characterisation run: a header that states the plan,
// the meter, the conditions and the board, then one line per code as it was
// measured (the run appends and flushes each at once, so that a crash, a
// pulled cable or Stop keep everything measured), and an end line when the
// run ends.
//
//   QV4816X characterisation 1
//   program=QV4816X 1.1.6
//   started=2024-05-01T09:30:00Z
//   board=SIMULATED,only
//   channel=A
//   range=+-10V
//   coding=binary
//   resolution=16
//   meter=tcp://192.168.1.20:5025
//   meter-identity=Maker,Model,Serial,Firmware
//   meter-range-v=10
//   meter-resolution-v=1e-05
//   meter-setup=*CLS;CONF:VOLT:DC 10;VOLT:DC:NPLC 1;ZERO:AUTO ON
//   plan=channel=A;codes=carries;...
//   readings-per-code=2
//   codes-planned=148
//   code,t_s,mean_v,stdev_v,reading_v...
//   0,0.012,-9.99999,1.2e-06,-9.999989,-9.999991
//   ...
//   end=done
//
// Plain C++, like the rest of the analysis: the run writes it, the analysis
// window and qv4816x-analyse read it.
#include "datafile.h"
#include "figures.h"
#include "ranges.h"

#include <string>
#include <string_view>
#include <vector>

namespace analysis {

struct ResultsHeader {
    std::string program;  // the program and its version
    std::string started;  // UTC, ISO 8601
    std::string board;    // the board as the program knew it
    int channel = 0;      // 0..3 = A..D
    Conditions conditions;
    std::string meter;  // "adc" (the board's own) or the meter's address
    std::string meterIdentity;
    double meterRangeVolts = 0;
    double meterResolutionVolts = 0;  // one count of the meter (the ADC: its step)
    std::vector<std::string> meterSetup;  // the commands the meter was set up with
    std::string plan;                     // the plan as its one-line text
    int readingsPerCode = 1;
    size_t codesPlanned = 0;
};

// One code as measured.
struct CodeResult {
    int code = 0;
    double seconds = 0;  // since the run started, when the code's last reading came in
    std::vector<double> readings;

    double Mean() const;
    double Deviation() const;  // sample standard deviation; 0 for one reading
};

struct Results {
    ResultsHeader header;
    std::vector<CodeResult> codes;  // in the order measured
    std::string end;  // "done", "stopped", "failed: <why>"; empty when the file ends without an end line
    bool cutShort = false;  // the last line was cut short (and left out)
};

// Bounds of what the reader takes.
constexpr size_t kMaxResultsBytes = 64u << 20;
constexpr size_t kMaxHeaderValue = 1024;
constexpr int kMaxReadingsPerCode = 1000;

std::string ResultsHeaderText(const ResultsHeader& header);
std::string CodeLine(const CodeResult& result);
std::string EndLine(std::string_view end);
// Any text as one line of the header: control characters become '?', at
// most kMaxHeaderValue bytes.
std::string OneLine(std::string_view text);

// True when a text begins as a results file does (to tell it from a sweep's data file).
bool LooksLikeResults(std::string_view text);
// True when `path` is a regular file that begins as a results file (only its
// first line is read; anything but a regular file is not opened for reading).
bool IsResultsFile(const std::string& path);

// What took the readings: the board's ADC (its step, its limits), or a bench
// meter (one count of it as its step, no limits: an overload ends a run).
Instrument ResultsInstrument(const ResultsHeader& header);

// The measured codes at their positions under `conditions` (the header's, or
// the user's choice over them), evaluated: INL at each code measured, DNL
// where the next position was measured too. `note` comes first among the
// notes (ResultsNote says what the file recorded).
void AnalyseResults(const Results& results, const Conditions& conditions, ChannelAnalysis& into,
                    std::string_view note);
// "Measured under +-10V, straight binary, 16 bits, as the results file
// recorded them, by <meter> (<address>): 146 of 146 codes planned, 2
// readings each; the run ended: done."
std::string ResultsNote(const Results& results);

// The figures of a results file on one line, as CHARacterise:ANALysis?
// answers them and qv4816x-analyse --json prints them (with a line feed):
// {"channels": [<the measured channel's object>]}.
std::string ResultsJson(const Results& results, const ChannelAnalysis& a);

// Reads a results file's text: every line checked, errors name the line.
bool ParseResults(std::string_view text, Results& results, ReadError& error);
bool ReadResultsFile(const std::string& path, Results& results, ReadError& error);

}  // namespace analysis
