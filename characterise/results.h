#pragma once
// The results file of a characterisation run: a header that states the plan,
// the meter, the conditions and the board, then one line per code as it is
// measured (appended and flushed at once, so that a crash, a pulled cable or
// Stop keep everything measured so far), and an end line when the run ends.
//
//   QV4816X characterisation 1
//   program=1.1.6
//   started=2024-05-01T09:30:00Z
//   board=...
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
//   codes-planned=148
//   code,t_s,mean_v,stdev_v,reading_v...
//   0,0.012,-9.99999,1.2e-06,-9.999989,-9.999991
//   ...
//   end=done
#include "plan.h"

#include "analysis/datafile.h"
#include "analysis/ranges.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace characterise {

struct Header {
    std::string program;  // the program's version
    std::string started;  // UTC, ISO 8601
    std::string board;    // what the board link says of the board
    analysis::Conditions conditions;  // of the channel measured
    std::string meter;    // "adc" or the meter's address
    std::string meterIdentity;
    double meterRangeVolts = 0;
    double meterResolutionVolts = 0;  // one count of the meter (the ADC: its step)
    std::vector<std::string> meterSetup;  // the commands the meter was set up with
    Plan plan;
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
    Header header;
    std::vector<CodeResult> codes;  // in the order measured
    std::string end;  // "done", "stopped", "failed: <why>"; empty when the file ends without an end line
    bool cutShort = false;  // the last line was cut short (and left out)
};

// Bounds of what the reader takes.
constexpr size_t kMaxResultsBytes = 64u << 20;
constexpr size_t kMaxFieldBytes = 1024;

std::string HeaderText(const Header& header);
std::string CodeLine(const CodeResult& result);
// Any text as one line of the header: control characters become '?', at
// most kMaxFieldBytes.
std::string OneLine(std::string_view text);

class ResultsWriter {
public:
    ResultsWriter() = default;
    ~ResultsWriter();
    ResultsWriter(const ResultsWriter&) = delete;
    ResultsWriter& operator=(const ResultsWriter&) = delete;

    // Creates the file (or empties a regular file of that name; anything
    // else is refused) and writes the header.
    bool Open(const std::string& path, const Header& header, std::string& why);
    // One line, written out at once.
    bool Append(const CodeResult& result, std::string& why);
    // The end line; the file is closed.
    bool Finish(std::string_view end, std::string& why);
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }

private:
    bool Write(const std::string& text, std::string& why);
    std::FILE* file_ = nullptr;
    std::string path_;
};

// Reads a results file's text: every line checked, errors name the line.
bool ParseResults(std::string_view text, Results& results, analysis::ReadError& error);
bool ReadResultsFile(const std::string& path, Results& results, analysis::ReadError& error);

}  // namespace characterise
