// The SCPI parser, and a mutation loop through the whole command tree on the
// simulated board: every input is answered or refused, nothing crashes.
#include "harness.h"
#include "board/boardlink.h"
#include "remote/headless.h"
#include "remote/instrument.h"
#include "remote/scpi.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <random>

using namespace scpi;

TEST(Scpi, HeadersParametersAndThePathRule)
{
    auto c = ParseLine(":meas:volt? a ; DAC:CODE B,#H8000;RANG c,bip10;*idn?;:SYST:ERR?");
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[0].nodes, (std::vector<std::string>{"MEAS", "VOLT"}));
    EXPECT_TRUE(c[0].query);
    EXPECT_EQ(c[0].params[0].text, "A");
    EXPECT_EQ(c[1].params[1].kind, Param::Kind::Number);
    EXPECT_EQ(c[1].params[1].number, 32768.0);
    EXPECT_EQ(c[1].nodes, (std::vector<std::string>{"MEAS", "DAC", "CODE"}));  // continues under MEAS
    EXPECT_EQ(c[1].typed, (std::vector<std::string>{"DAC", "CODE"}));
    EXPECT_EQ(c[2].nodes, (std::vector<std::string>{"MEAS", "DAC", "RANG"}));
    EXPECT_TRUE(c[3].common);
    EXPECT_EQ(c[4].nodes, (std::vector<std::string>{"SYST", "ERR"}));

    EXPECT_EQ(ParseLine("X 1.5e3")[0].params[0].number, 1500.0);
    EXPECT_EQ(ParseLine("X #b101,#q17,-.5")[0].params[1].number, 15.0);
    EXPECT_EQ(ParseLine("X 'it''s', \"a;b\"")[0].params[0].text, "it's");
    EXPECT_EQ(ParseLine("X 'it''s', \"a;b\"")[0].params[1].text, "a;b");
    EXPECT_TRUE(ParseLine("  ;; ").empty());

    EXPECT_TRUE(Matches("MEAS", "MEASure") && Matches("measure", "MEASure") && !Matches("MEASU", "MEASure"));
}

TEST(Scpi, MalformedCommandsCarryTheirStandardError)
{
    EXPECT_EQ(ParseLine("DAC:CODE A,")[0].error, kMissingParameter);
    EXPECT_EQ(ParseLine("DAC:CODE A,12x")[0].error, kInvalidCharacterInNumber);
    EXPECT_EQ(ParseLine("DAC:CODE A,#H")[0].error, kInvalidCharacterInNumber);
    EXPECT_EQ(ParseLine("DAC:CODE A,#HG")[0].error, kInvalidCharacterInNumber);
    EXPECT_EQ(ParseLine("X \"open")[0].error, kInvalidStringData);
    EXPECT_EQ(ParseLine("X\x01")[0].error, kInvalidCharacter);
    EXPECT_EQ(ParseLine("DAC:")[0].error, kSyntaxError);
    EXPECT_EQ(ParseLine("ABCDEFGHIJKLM")[0].error, kMnemonicTooLong);
    EXPECT_EQ(ParseLine("DAC,1")[0].error, kHeaderSeparatorError);
    EXPECT_EQ(ErrorLine(-113), "-113,\"Undefined header\"");
    EXPECT_EQ(ErrorLine(-222, "say \"x\""), "-222,\"Data out of range;say 'x'\"");
}

// Beyond ASCII only inside quoted strings, and there as UTF-8; control
// characters nowhere.
TEST(Scpi, StringsTakeUtf8)
{
    const struct {
        const char* line;
        int error;
    } rows[] = {
        {"X \"m\xC3\xA9tre-\xE2\x82\xAC \xF0\x9F\x94\x8C\"", kNoError},
        {"X '\xC3\xA9'", kNoError},
        {"X \"\xFF\"", kInvalidStringData},
        {"X \"\xC3\"", kInvalidStringData},          // cut short
        {"X \"\xC0\xAF\"", kInvalidStringData},      // overlong
        {"X \"\xED\xA0\x80\"", kInvalidStringData},  // a surrogate
        {"X \xC3\xA9", kInvalidCharacter},
        {"X\xC3\xA9 1", kInvalidCharacter},
        {"X \"a\x01\"", kInvalidCharacter},
        {"X \"a\x7F\"", kInvalidCharacter},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseLine(row.line)[0].error, row.error) << row.line;
    EXPECT_EQ(ParseLine("X \"m\xC3\xA9tre\"")[0].params[0].text, "m\xC3\xA9tre");
}

// A header without ':' goes a level deeper each time: the level is kept once,
// and a path deeper than any command names none (the header is then taken
// from the root, as any that names nothing at its level).
TEST(Scpi, PathsDeeperThanAnyCommandAreNotKept)
{
    std::string line;
    for (int i = 0; i < 16383; ++i)
        line += "A:B;";
    line += "SYST:VERS?;:DAC:CODE? A;CODE? B";
    const auto commands = ParseLine(line);
    ASSERT_EQ(commands.size(), 16386u);
    for (const Command& c : commands)
        ASSERT_LE(c.nodes.size(), kMaxDepth);
    EXPECT_EQ(commands[2].nodes, (std::vector<std::string>{"A", "A", "A", "B"}));
    EXPECT_TRUE(commands[16383].nodes.empty());
    EXPECT_EQ(commands[16383].typed, (std::vector<std::string>{"SYST", "VERS"}));
    EXPECT_EQ(commands[16385].nodes, (std::vector<std::string>{"DAC", "CODE"}));  // rooted again
}

TEST(Scpi, ErrorQueueStatusAndOverflow)
{
    Session s;
    s.PushError(kUndefinedHeader);
    s.PushError(kDataOutOfRange);
    EXPECT_EQ(s.esr, 32 | 16);
    s.ese = 16;
    s.sre = 32;
    EXPECT_EQ(s.StatusByte(), 4 | 32 | 64);
    for (int i = 0; i < 40; ++i)
        s.PushError(kSyntaxError);
    EXPECT_EQ(s.errors.size(), Session::kMaxErrors);
    EXPECT_EQ(s.errors.back().first, kQueueOverflow);
}

// The condition's transitions reach a client's event register through its
// filters, however many happen between two of its commands.
TEST(Scpi, StatusRegistersLatchTransitionsThroughTheirFilters)
{
    struct Row {
        int ptr, ntr;
        std::vector<bool> steps;  // the condition bit, one value per step
        int event;
    };
    const Row rows[] = {
        {0x7FFF, 0, {true}, 8},           // a rise latches through PTR
        {0x7FFF, 0, {true, false}, 8},    // also when it fell again before the client looked
        {0, 0x7FFF, {true}, 0},           // a rise does not pass NTR
        {0, 0x7FFF, {true, false}, 8},    // a fall does
        {0, 0, {true, false}, 0},         // neither filter: nothing latches
        {0x7FFF, 0, {}, 0},
    };
    for (const Row& row : rows) {
        Condition c;
        c.Set(3, true);  // before the client's first look: none of its business
        c.Set(3, false);
        StatusRegister r;
        r.ptr = row.ptr;
        r.ntr = row.ntr;
        r.Latch(c);
        for (const bool on : row.steps)
            c.Set(3, on);
        r.Latch(c);
        EXPECT_EQ(r.event, row.event) << row.ptr << "/" << row.ntr << " after " << row.steps.size();
    }
    Session s;
    s.operation.event = 8;
    s.questionable.event = 2;
    EXPECT_EQ(s.StatusByte(), 0);  // nothing enabled
    s.operation.enable = 8;
    s.questionable.enable = 2;
    s.sre = 128;
    EXPECT_EQ(s.StatusByte(), 128 | 64 | 8);
}

TEST(Scpi, StatusAndErrorQueueCommands)
{
    HeadlessPanel panel;
    AttachPanel(&panel, nullptr);
    Instrument instrument(panel);
    ASSERT_TRUE(Board().ConnectQuietly().empty());
    Session s;
    auto run = [&](std::string_view line) {
        LineRun run;
        std::string reply;
        EXPECT_TRUE(instrument.RunText(s, line, run, reply)) << line;
        return reply;
    };
    const std::pair<const char*, const char*> rows[] = {
        {"STAT:OPER:ENAB 264;ENAB?;:STAT:OPER:PTR 8;PTR?;:STAT:OPER:NTR 65535;NTR?", "264;8;32767"},
        {"STAT:PRES;:STAT:OPER:ENAB?;:STAT:OPER:PTR?;:STAT:OPER:NTR?;:STAT:QUES:ENAB?", "0;32767;0;0"},
        {"STAT:OPER?;:STAT:OPER:COND?;:STAT:QUES:EVEN?;:STAT:QUES:COND?", "0;0;0;0"},
        {"*OPT?", "0"},
        {"FOO;*IDN?", ""},
        {"BAR", ""},
        {"BAZ", ""},
        {"SYST:ERR:CODE?", "-113"},
        {"SYST:ERR:ALL?", "-113,\"Undefined header\",-113,\"Undefined header\""},
        {"SYST:ERR:ALL?;:SYST:ERR:CODE:NEXT?;:SYST:ERR:CODE:ALL?", "0,\"No error\";0;0"},
        {"STAT:OPER:ENAB", ""},
        {"STAT:OPER:COND 1", ""},
        {"SYST:ERR:CODE:ALL?", "-109,-113"},
    };
    for (const auto& [line, answer] : rows)
        EXPECT_EQ(run(line), answer) << line;
    instrument.PanelChanged();
    EXPECT_EQ(run("STAT:OPER?;:STAT:OPER?"), "1024;0");
    instrument.SetCharacterising(true);
    EXPECT_EQ(run("STAT:OPER:COND?"), "512");
    instrument.SetCharacterising(false);
}

// A line runs a command at a time; each answer is handed out as it is made.
TEST(Scpi, LinesRunCommandByCommand)
{
    HeadlessPanel panel;
    AttachPanel(&panel, nullptr);
    Instrument instrument(panel);
    Session s;
    LineRun run;
    std::string line;
    for (int i = 0; i < 3000; ++i)
        line += "SYST:VERS?;";
    instrument.Begin(s, run, line + ":SYST:ERR:COUN?;NO:SUCH;*IDN?");
    std::string out;
    EXPECT_EQ(instrument.Next(s, run, out), Instrument::Progress::Ran);
    EXPECT_EQ(out, "1999.0");
    for (int i = 1; i < 3000; ++i)
        ASSERT_EQ(instrument.Next(s, run, out), Instrument::Progress::Ran);
    EXPECT_EQ(out.size(), 3000u * 7 - 1);
    EXPECT_EQ(instrument.Next(s, run, out), Instrument::Progress::Ran);
    EXPECT_EQ(out.substr(out.size() - 2), ";0");
    // An error ends the line: its answers so far, and the newline.
    EXPECT_EQ(instrument.Next(s, run, out), Instrument::Progress::LineDone);
    EXPECT_EQ(out.substr(out.size() - 3), ";0\n");
    EXPECT_EQ(s.errors.size(), 1u);
}

// Mutations of real commands: replaced, inserted, deleted and duplicated
// bytes, spliced lines. Each run must end (finished or waiting), and a line
// that fails to parse must leave an error.
TEST(Scpi, MutatedInputIsAnsweredOrRefusedNeverCrashes)
{
    HeadlessPanel panel;
    AttachPanel(&panel, nullptr);
    Instrument instrument(panel);
    ASSERT_TRUE(Board().ConnectQuietly().empty());
    const std::vector<std::string> seeds = {
        "*IDN?", "*RST", "*CLS;*ESR?;*STB?", "*OPC?", "DAC:CODE B,#H8000", "DAC:CODE? A", "DAC:VOLT C,-2.5",
        "DAC:RANG D,BIP10;RANG? D", "DAC:RES 12", "DAC:LOAD;CLE", "CONT:TSD ON;CLAM OFF;CONT:REG?",
        "POW:DAC A,1;REF ON;ALAR?", "PINS:CLR 0;BIN 1;LDAC:PULS OFF;:PINS:LDAC 0;WORD?", "REG:ALL?",
        "MEAS:VOLT? ALL", "SWE:STAT?;PROG?", "SWE:DATA? A,0,4", "SYST:ERR?;ERR:COUN?;VERS?",
        "MEASure:VOLTage? B", "DAC:CODE A,'x'", ":DAC:VOLT? B", "STAT:OPER:ENAB 8;PTR?;:STAT:QUES?;PRES",
        "SYST:ERR:ALL?;:SYST:ERR:CODE?", "*OPT?", "FORM REAL,64;BORD SWAP;:FETC? A,0,2;:FORM ASC", "INIT;:ABOR", "*LRN?", "*RCL 11",
    };
    std::mt19937 rng(4816);
    const std::string alphabet = "*:;,?#HQB\"' \t.-+eE0123456789ABCDabcdxyzONF\x01\x7f\xff";
    for (int n = 0; n < 6000; ++n) {
        std::string line = seeds[rng() % seeds.size()];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t at = line.empty() ? 0 : rng() % (line.size() + 1);
            switch (rng() % 5) {
            case 0: if (at < line.size()) line[at] = alphabet[rng() % alphabet.size()]; break;
            case 1: line.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
            case 2: if (at < line.size()) line.erase(at, 1 + rng() % 3); break;
            case 3: line.insert(at, line.substr(0, rng() % (line.size() + 1))); break;
            default: line += ";" + seeds[rng() % seeds.size()]; break;
            }
        }
        Session s;
        LineRun run;
        std::string reply;
        const bool finished = instrument.RunText(s, line, run, reply);
        if (!finished)
            continue;  // waits for a long operation: never blocks
        bool parseError = false;
        for (const auto& c : ParseLine(line))
            parseError = parseError || c.error != kNoError;
        if (parseError) {
            EXPECT_FALSE(s.errors.empty()) << line;
        }
        if (instrument.SweepRunning()) {
            Session stop;
            ASSERT_TRUE(instrument.RunText(stop, "SWE:ABOR", run, reply));
        }
    }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    harness::Setup(true, false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
