// The results file: written line by line, read back the same, and hostile
// or damaged files refused with the line named (or, cut short, read up to
// the damage).
#include "characterise/results.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace characterise;

namespace {

std::string Scratch(const std::string& name) { return std::string(QV_TEST_SCRATCH) + "/" + name; }

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ResultsHeader SomeHeader()
{
    ResultsHeader h;
    h.program = "QV4816X 1.1.6";
    h.started = "2024-05-01T09:30:00Z";
    h.board = "SIMULATED,only";
    h.conditions = {4, analysis::Coding::TwosComplement, 16};
    h.meter = "tcp://127.0.0.1:5025";
    h.meterIdentity = "Maker\n,Model,1,2";  // a hostile identity stays on its line
    h.meterRangeVolts = 10;
    h.meterResolutionVolts = 1e-5;
    h.meterSetup = {"*CLS", "CONF:VOLT:DC 10", "VOLT:DC:NPLC 1", "ZERO:AUTO ON"};
    h.channel = 1;
    h.plan = "channel=B;codes=carries;readings=2";
    h.readingsPerCode = 2;
    h.codesPlanned = 3;
    return h;
}

TEST(CharacteriseResults, WrittenAsMeasuredAndReadBack)
{
    const std::string path = Scratch("results.txt");
    ResultsWriter w;
    std::string why;
    ASSERT_TRUE(w.Open(path, SomeHeader(), why)) << why;
    const std::vector<CodeResult> codes{{0, 0.5, {-10.00001, -10.00003}}, {32768, 1.25, {1.5e-5, -2.5e-6}}};
    ASSERT_TRUE(w.Append(codes[0], why));
    // Each code is in the file as soon as it is appended: a crash now keeps it.
    Results r;
    analysis::ReadError error;
    ASSERT_TRUE(ReadResultsFile(path, r, error)) << error.Text();
    EXPECT_EQ(r.codes.size(), 1u);
    EXPECT_EQ(r.end, "");
    ASSERT_TRUE(w.Append(codes[1], why));
    ASSERT_TRUE(w.Finish("stopped", why));

    ASSERT_TRUE(ReadResultsFile(path, r, error)) << error.Text();
    EXPECT_EQ(r.end, "stopped");
    EXPECT_EQ(r.header.meterIdentity, "Maker?,Model,1,2");
    EXPECT_EQ(r.header.conditions.range, 4);
    EXPECT_EQ(r.header.conditions.coding, analysis::Coding::TwosComplement);
    EXPECT_EQ(r.header.meterSetup, SomeHeader().meterSetup);
    EXPECT_EQ(r.header.plan, SomeHeader().plan);
    EXPECT_EQ(r.header.channel, 1);
    ASSERT_EQ(r.codes.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(r.codes[i].code, codes[i].code);
        EXPECT_EQ(r.codes[i].readings, codes[i].readings);
    }
    // Written again from what was read, the file is the same.
    std::string again = analysis::ResultsHeaderText(r.header);
    for (const auto& c : r.codes)
        again += analysis::CodeLine(c);
    const std::string text = Slurp(path);
    EXPECT_EQ(again + "end=stopped\n", text);
    EXPECT_NE(text.find("\n0,0.5,-10.00002,1.41421356245e-05,-10.00001,-10.00003\n"), std::string::npos) << text;
}

TEST(CharacteriseResults, HostileFilesNameTheLine)
{
    std::string good = analysis::ResultsHeaderText(SomeHeader()) + "5,0.1,1,0,1,1\n";
    const size_t dataLine = 18;
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const std::pair<std::string, std::pair<size_t, const char*>> rows[] = {
        {"garbage\n", {1, "not a characterisation results file"}},
        {replaced("resolution=16", "resolution=15"), {17, "the range, coding or resolution"}},
        {replaced("range=+-10V", "range=+-11V"), {17, "the range, coding or resolution"}},
        {replaced("board=", "colour=red\nboard="), {4, "'colour=red' is no header line"}},
        {replaced("board=", "program=x\nboard="), {4, "'program' is given twice"}},
        {replaced("codes-planned=3\n", ""), {16, "the header lacks 'codes-planned='"}},
        {replaced("channel=B\n", "channel=E\n"), {17, "the channel is not A, B, C or D"}},
        {replaced("readings-per-code=2", "readings-per-code=0"), {17, "readings-per-code is not a number"}},
        {replaced("5,0.1,1,0,1,1", "5,0.1,1,0,1"), {dataLine, "expected 6 fields (2 readings), found 5"}},
        {replaced("5,0.1,1,0,1,1", "65536,0.1,1,0,1,1"), {dataLine, "'65536' is not a code"}},
        {replaced("5,0.1,1,0,1,1", "5,0.1,1,0,1,nan"), {dataLine, "reading 2 is not a number"}},
        {replaced("5,0.1,1,0,1,1", "5,-1,1,0,1,1"), {dataLine, "the time, mean"}},
        {replaced("5,0.1,1,0,1,1", "5,0.1,2,0,1,1"), {dataLine, "the mean or standard deviation does not match"}},
        {good + "5,0.2,1,0,1,1\n", {dataLine + 1, "code 5 is measured twice"}},
        {good + "end=done\n6,0.2,1,0,1,1\n", {dataLine + 2, "text after the end line"}},
        {analysis::ResultsHeaderText(SomeHeader()).substr(0, 100), {5, "the file ends within its header"}},
    };
    for (const auto& [text, expected] : rows) {
        Results r;
        analysis::ReadError error;
        EXPECT_FALSE(ParseResults(text, r, error)) << expected.second;
        EXPECT_EQ(error.line, expected.first) << error.Text();
        EXPECT_EQ(error.what.rfind(expected.second, 0), 0u) << error.Text();
    }

    // A run cut off while writing a line: the lines before it stand.
    Results r;
    analysis::ReadError error;
    ASSERT_TRUE(ParseResults(good + "6,0.2,1,0", r, error)) << error.Text();
    EXPECT_EQ(r.codes.size(), 1u);
    EXPECT_TRUE(r.cutShort);

    // Files that are not results files at all.
    for (const std::string& path : {Scratch("missing"), std::string(QV_TEST_SCRATCH), std::string("/dev/zero")})
        EXPECT_FALSE(ReadResultsFile(path, r, error)) << path;
    const std::string fifo = Scratch("results.fifo");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadResultsFile(fifo, r, error));
    std::string why;
    ResultsWriter w;
    EXPECT_FALSE(w.Open(fifo, SomeHeader(), why));
    EXPECT_EQ(why.rfind(fifo + ": ", 0), 0u) << why;  // no reader: refused at once, nothing written
}

}  // namespace
