#include "results.h"

#include "report.h"


#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <limits>
#include <map>

namespace analysis {
namespace {

constexpr std::string_view kFirstLine = "QV4816X characterisation 1";
constexpr std::string_view kColumns = "code,t_s,mean_v,stdev_v,reading_v...";

// The header's keys, in the order written; each must be there once.
constexpr std::string_view kKeys[] = {
    "program", "started", "board", "channel", "range", "coding", "resolution", "meter", "meter-identity",
    "meter-range-v", "meter-resolution-v", "meter-setup", "plan", "readings-per-code", "codes-planned",
};

std::string Join(const std::vector<std::string>& items, char separator)
{
    std::string out;
    for (const auto& item : items)
        out += (out.empty() ? "" : std::string(1, separator)) + item;
    return out;
}

bool ParseDouble(std::string_view s, double& v)
{
    if (!s.empty() && s.front() == '+')
        return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size() && std::isfinite(v);
}

template <typename T>
bool ParseInteger(std::string_view s, T& v)
{
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

// The header's values into `h`; false with `why`.
bool TakeHeader(const std::map<std::string, std::string, std::less<>>& values, ResultsHeader& h, std::string& why)
{
    auto value = [&](std::string_view key) -> const std::string& { return values.find(key)->second; };
    h.program = value("program");
    h.started = value("started");
    h.board = value("board");
    h.meter = value("meter");
    h.meterIdentity = value("meter-identity");
    h.plan = value("plan");
    h.meterSetup.clear();
    for (std::string_view rest = value("meter-setup"); !rest.empty();) {
        const size_t semicolon = rest.find(';');
        h.meterSetup.emplace_back(rest.substr(0, semicolon));
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    }
    const std::string& channel = value("channel");
    if (channel.size() != 1 || channel[0] < 'A' || channel[0] > 'D') {
        why = "the channel is not A, B, C or D";
        return false;
    }
    h.channel = channel[0] - 'A';
    const auto range = RangeFromText(value("range"));
    const auto coding = CodingFromText(value("coding"));
    int resolution = 0;
    if (!range || !coding || !ParseInteger(value("resolution"), resolution) || !ValidResolution(resolution)) {
        why = "the range, coding or resolution is not one the board has";
        return false;
    }
    h.conditions = {*range, *coding, resolution};
    if (!ParseDouble(value("meter-range-v"), h.meterRangeVolts) || !(h.meterRangeVolts > 0) ||
        !ParseDouble(value("meter-resolution-v"), h.meterResolutionVolts) || !(h.meterResolutionVolts >= 0)) {
        why = "the meter's range or resolution is not a positive number";
        return false;
    }
    if (!ParseInteger(value("readings-per-code"), h.readingsPerCode) || h.readingsPerCode < 1 ||
        h.readingsPerCode > kMaxReadingsPerCode) {
        why = "readings-per-code is not a number from 1 to " + std::to_string(kMaxReadingsPerCode);
        return false;
    }
    if (!ParseInteger(value("codes-planned"), h.codesPlanned) || h.codesPlanned > (size_t{1} << resolution)) {
        why = "codes-planned is not a number of codes";
        return false;
    }
    return true;
}

// One data line into `r`; false with `why`.
bool TakeCode(std::string_view line, const ResultsHeader& h, CodeResult& r, std::string& why)
{
    std::vector<std::string_view> fields;
    while (true) {
        const size_t comma = line.find(',');
        fields.push_back(line.substr(0, comma));
        if (comma == std::string_view::npos || fields.size() > 4 + static_cast<size_t>(kMaxReadingsPerCode))
            break;
        line.remove_prefix(comma + 1);
    }
    const size_t expected = 4 + static_cast<size_t>(h.readingsPerCode);
    if (fields.size() != expected) {
        why = "expected " + std::to_string(expected) + " fields (" + std::to_string(h.readingsPerCode) +
              " readings), found " + std::to_string(fields.size());
        return false;
    }
    const int top = h.conditions.codes() - 1;
    double mean = 0, deviation = 0;
    if (!ParseInteger(fields[0], r.code) || r.code < 0 || r.code > top) {
        why = "'" + std::string(fields[0].substr(0, 20)) + "' is not a code from 0 to " + std::to_string(top);
        return false;
    }
    if (!ParseDouble(fields[1], r.seconds) || r.seconds < 0 || !ParseDouble(fields[2], mean) ||
        !ParseDouble(fields[3], deviation) || deviation < 0) {
        why = "the time, mean or standard deviation is not a number as written";
        return false;
    }
    r.readings.assign(fields.size() - 4, 0.0);
    for (size_t i = 4; i < fields.size(); ++i)
        if (!ParseDouble(fields[i], r.readings[i - 4])) {
            why = "reading " + std::to_string(i - 3) + " is not a number";
            return false;
        }
    // The mean and deviation are written for people; they must agree with the readings.
    const double scale = std::max(1.0, std::abs(mean));
    if (std::abs(r.Mean() - mean) > 1e-9 * scale || std::abs(r.Deviation() - deviation) > 1e-9 * scale + 1e-6 * deviation) {
        why = "the mean or standard deviation does not match the readings";
        return false;
    }
    return true;
}

}  // namespace

double CodeResult::Mean() const
{
    double sum = 0;
    for (double v : readings)
        sum += v;
    return readings.empty() ? std::nan("") : sum / static_cast<double>(readings.size());
}

double CodeResult::Deviation() const
{
    if (readings.size() < 2)
        return 0;
    const double mean = Mean();
    double sum = 0;
    for (double v : readings)
        sum += (v - mean) * (v - mean);
    return std::sqrt(sum / static_cast<double>(readings.size() - 1));
}

std::string OneLine(std::string_view text)
{
    std::string out(text.substr(0, kMaxHeaderValue));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return out;
}

std::string ResultsHeaderText(const ResultsHeader& h)
{
    std::string rangeName(h.conditions.span().name);
    if (rangeName.rfind("\u00B1", 0) == 0)
        rangeName.replace(0, 2, "+-");
    const std::pair<std::string_view, std::string> lines[] = {
        {"program", h.program},
        {"started", h.started},
        {"board", h.board},
        {"channel", std::string(1, static_cast<char>('A' + h.channel))},
        {"range", rangeName},
        {"coding", std::string(CodingName(h.conditions.coding))},
        {"resolution", std::to_string(h.conditions.resolution)},
        {"meter", h.meter},
        {"meter-identity", h.meterIdentity},
        {"meter-range-v", Number(h.meterRangeVolts)},
        {"meter-resolution-v", Number(h.meterResolutionVolts)},
        {"meter-setup", Join(h.meterSetup, ';')},
        {"plan", h.plan},
        {"readings-per-code", std::to_string(h.readingsPerCode)},
        {"codes-planned", std::to_string(h.codesPlanned)},
    };
    std::string out = std::string(kFirstLine) + "\n";
    for (const auto& [key, value] : lines)
        out += std::string(key) + "=" + OneLine(value) + "\n";
    return out + std::string(kColumns) + "\n";
}

std::string CodeLine(const CodeResult& r)
{
    std::string line = std::to_string(r.code) + "," + Number(r.seconds) + "," + Number(r.Mean()) + "," +
                       Number(r.Deviation());
    for (double v : r.readings)
        line += "," + Number(v);
    return line + "\n";
}

std::string EndLine(std::string_view end) { return "end=" + OneLine(end) + "\n"; }

bool LooksLikeResults(std::string_view text) { return text.substr(0, kFirstLine.size()) == kFirstLine; }

bool IsResultsFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st{};
    char head[kFirstLine.size()];
    const bool is = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                    ::read(fd, head, sizeof head) == static_cast<ssize_t>(sizeof head) &&
                    LooksLikeResults(std::string_view(head, sizeof head));
    ::close(fd);
    return is;
}

bool ParseResults(std::string_view text, Results& results, ReadError& error)
{
    results = {};
    std::map<std::string, std::string, std::less<>> values;
    std::vector<bool> seen;
    size_t lineNo = 0;
    bool inData = false, ended = false;
    auto fail = [&](std::string what) {
        error = {lineNo, std::move(what)};
        return false;
    };
    while (!text.empty()) {
        ++lineNo;
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            // A run cut off in the middle of writing a line: what came before stands.
            if (!inData)
                return fail("the file ends within its header");
            results.cutShort = true;
            break;
        }
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > kMaxHeaderValue + 64 && !inData)
            return fail("the line is too long for a header line");
        if (lineNo == 1) {
            if (line != kFirstLine)
                return fail("not a characterisation results file (it begins '" + OneLine(line.substr(0, 40)) + "')");
            continue;
        }
        if (ended) {
            if (!line.empty())
                return fail("text after the end line");
            continue;
        }
        if (!inData) {
            if (line == kColumns) {
                for (auto key : kKeys)
                    if (values.find(key) == values.end())
                        return fail("the header lacks '" + std::string(key) + "='");
                std::string why;
                if (!TakeHeader(values, results.header, why))
                    return fail(why);
                seen.assign(static_cast<size_t>(results.header.conditions.codes()), false);
                inData = true;
                continue;
            }
            const size_t eq = line.find('=');
            const std::string_view key = line.substr(0, eq);
            if (eq == std::string_view::npos || std::find(std::begin(kKeys), std::end(kKeys), key) == std::end(kKeys))
                return fail("'" + OneLine(line.substr(0, 40)) + "' is no header line");
            if (!values.emplace(std::string(key), std::string(line.substr(eq + 1))).second)
                return fail("'" + std::string(key) + "' is given twice");
            continue;
        }
        if (line.rfind("end=", 0) == 0) {
            results.end = std::string(line.substr(4));
            ended = true;
            continue;
        }
        CodeResult r;
        std::string why;
        if (!TakeCode(line, results.header, r, why))
            return fail(why);
        if (seen[static_cast<size_t>(r.code)])
            return fail("code " + std::to_string(r.code) + " is measured twice");
        seen[static_cast<size_t>(r.code)] = true;
        results.codes.push_back(std::move(r));
    }
    if (!inData)
        return fail("the file ends within its header");
    return true;
}

Instrument ResultsInstrument(const ResultsHeader& h)
{
    if (h.meter == "adc")
        return kBoardAdc;
    Instrument meter;
    meter.name = "the bench meter";
    meter.stepVolts = h.meterResolutionVolts;
    meter.lowVolts = -std::numeric_limits<double>::infinity();
    meter.highVolts = std::numeric_limits<double>::infinity();
    return meter;
}

void AnalyseResults(const Results& results, const Conditions& conditions, ChannelAnalysis& into, std::string_view note)
{
    into.Reset(conditions, ResultsInstrument(results.header));
    for (const CodeResult& c : results.codes)
        if (c.code < conditions.codes())
            into.Set(conditions.position(c.code), c.Mean(), c.Deviation(), static_cast<uint32_t>(c.readings.size()));
    Evaluate(into, note);
}

std::string ResultsNote(const Results& r)
{
    const ResultsHeader& h = r.header;
    const Conditions& c = h.conditions;
    std::string note = "Measured under " + std::string(c.span().name) + ", " +
                       (c.coding == Coding::Binary ? "straight binary" : "two's complement") + ", " +
                       std::to_string(c.resolution) + " bits, as the results file recorded them, by " +
                       (h.meter == "adc" ? std::string("the board's ADC") : h.meterIdentity + " (" + h.meter + ")") +
                       ": " + std::to_string(r.codes.size()) + " of " + std::to_string(h.codesPlanned) +
                       " codes planned, " + std::to_string(h.readingsPerCode) +
                       (h.readingsPerCode == 1 ? " reading" : " readings") + " each; ";
    if (r.end.empty())
        note += "the file has no end line (the run was cut off): the codes measured before are analysed";
    else
        note += "the run ended: " + r.end;
    if (r.cutShort)
        note += "; its last line was cut short and is left out";
    return note + ".";
}

std::string ResultsJson(const Results& results, const ChannelAnalysis& a)
{
    return "{\"channels\": [" + ChannelJson(results.header.channel, a) + "]}";
}

bool ReadResultsFile(const std::string& path, Results& results, ReadError& error)
{
    std::string text, why;
    if (!ReadRegularFile(path, kMaxResultsBytes, text, why)) {
        error = {0, why};
        return false;
    }
    return ParseResults(text, results, error);
}

}  // namespace analysis
