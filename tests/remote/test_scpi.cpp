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

// Numbers with units (SI prefixes, M for milli), channel lists, and headers
// with optional nodes and numeric suffixes.
TEST(Scpi, UnitsChannelListsAndHeaderForms)
{
    const struct {
        const char* line;
        double number;
        char unit;
        int error;
    } numbers[] = {
        {"X 2.5V", 2.5, 'V', kNoError},      {"X 2500mV", 2.5, 'V', kNoError},  {"X 2500 MV", 2.5, 'V', kNoError},
        {"X -5 uv", -5e-6, 'V', kNoError},   {"X 1.5E1V", 15, 'V', kNoError},   {"X 10MS", 0.01, 'S', kNoError},
        {"X 7", 7, 0, kNoError},             {"X 2 M V", 0, 0, kInvalidCharacterInNumber},
        {"X 2VV", 0, 0, kInvalidCharacterInNumber}, {"X #H10V", 0, 0, kInvalidCharacterInNumber},
        {"X 12x", 0, 0, kInvalidCharacterInNumber},
    };
    for (const auto& row : numbers) {
        const Command c = ParseLine(row.line)[0];
        EXPECT_EQ(c.error, row.error) << row.line;
        if (row.error == kNoError) {
            EXPECT_DOUBLE_EQ(c.params[0].number, row.number) << row.line;
            EXPECT_EQ(c.params[0].unit, row.unit) << row.line;
        }
    }
    using Spans = std::vector<std::pair<int, int>>;
    const Command list = ParseLine("X (@1, 3:4),5,(@4:1)")[0];
    ASSERT_EQ(list.params.size(), 3u);
    EXPECT_EQ(list.params[0].channels, (Spans{{1, 1}, {3, 4}}));
    EXPECT_EQ(list.params[1].number, 5.0);
    EXPECT_EQ(list.params[2].channels, (Spans{{4, 1}}));
    for (const char* bad : {"X (@)", "X (@1", "X (1)", "X (@1:)", "X (@1,)", "X (@12345)", "X (@1 2)"})
        EXPECT_EQ(ParseLine(bad)[0].error, kSyntaxError) << bad;

    const struct {
        const char* pattern;
        const char* header;
        bool matches;
        int suffix;
    } headers[] = {
        {"MEASure[:VOLTage][:DC]", "MEAS", true, -1},      {"MEASure[:VOLTage][:DC]", "measure:voltage:dc", true, -1},
        {"MEASure[:VOLTage][:DC]", "MEAS:DC", true, -1},   {"MEASure[:VOLTage][:DC]", "MEAS:DC:VOLT", false, -1},
        {"MEASure[:VOLTage][:DC]", "MEAS:VOLT:DC:X", false, -1}, {"DAC#:CODE", "DAC2:CODE", true, 2},
        {"DAC#:CODE", "DAC:CODE", true, -1},               {"DAC#:CODE", "DAC12:CODE", true, 12},
        {"DAC#:CODE", "DACX:CODE", false, -1},             {"DAC:CODE", "DAC2:CODE", false, -1},
        {"SYSTem:ERRor:CODE[:NEXT]", "SYST:ERR:CODE:NEXT", true, -1}, {"SYSTem:ERRor:CODE[:NEXT]", "SYST:ERR:NEXT", false, -1},
    };
    for (const auto& row : headers) {
        const Command c = ParseLine(row.header)[0];
        int suffix = 0;
        EXPECT_EQ(MatchHeader(row.pattern, c.nodes, suffix), row.matches) << row.pattern << " " << row.header;
        if (row.matches) {
            EXPECT_EQ(suffix, row.suffix) << row.header;
        }
    }
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

// An instrument on the simulated board, and one client's lines run to their end.
class OnTheBoard : public ::testing::Test {
protected:
    void SetUp() override
    {
        AttachPanel(&panel, nullptr);
        ASSERT_TRUE(Board().ConnectQuietly().empty());
    }
    std::string run(std::string_view line)
    {
        LineRun lineRun;
        std::string reply;
        EXPECT_TRUE(instrument.RunText(s, line, lineRun, reply)) << line;
        return reply;
    }
    HeadlessPanel panel;
    Instrument instrument{panel};
    Session s;
};

TEST_F(OnTheBoard, StatusAndErrorQueueCommands)
{
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

// The forms bench users type, on the simulated board: units, MINimum,
// MAXimum and DEFault, optional nodes, numbered headers, channel lists, and
// the path rule after a header taken from the root.
TEST_F(OnTheBoard, ValuesAndChannelsAsBenchUsersTypeThem)
{
    const struct {
        const char* line;
        const char* answer;  // nullptr: any
        int error;
    } rows[] = {
        {"*RST;:DAC:RANG A,UNI10;VOLT A,2.5V;CODE? A", "16384", kNoError},
        {"DAC:CODE A,0;VOLT A,2500mV;CODE? A;:DAC:CODE A,0;VOLT A,2500 MV;CODE? A", "16384;16384", kNoError},
        {"DAC:RANG B,BIP10;VOLT B,-2500000UV;VOLT? B", "-2.5", kNoError},
        {"DAC:VOLT A,1S", "", kInvalidSuffix},
        {"DAC:CODE A,1V", "", kSuffixNotAllowed},
        {"PINS:CLR 1V", "", kSuffixNotAllowed},
        {"DAC:VOLT A,10.5V", "", kDataOutOfRange},
        {"DAC:CODE A,MAX;CODE? A;CODE? A,MIN;CODE? A,MAXIMUM", "65535;0;65535", kNoError},
        {"DAC:CODE A,DEF;CODE? A", "0", kNoError},
        {"DAC:RES 12;:DAC:CODE? A,MAX;:DAC:RES DEF;RES?;RES? MIN", "4095;16;12", kNoError},
        {"DAC:VOLT? A,MIN;VOLT? A,MAX;VOLT A,MAX;CODE? A", "0;10;65535", kNoError},
        {"DAC:RANG? A,MAX;RANG? A,MIN;RANG? A,DEF;RANG C,MAX;RANG? C", "BIP10P8;UNI5;UNI5;BIP10P8", kNoError},
        {"DAC:CODE? A,FOO", "", kIllegalParameterValue},
        {"STAT:OPER:ENAB MAX;ENAB?", "32767", kNoError},
        {"MEAS:VOLT:DC? A;:MEAS? B;:MEAS:DC? (@1:4)", nullptr, kNoError},
        {"DAC1:CODE 100;:DAC1:CODE?;:DAC:CODE? A;:DAC4:CODE 9;:DAC:CODE? D", "100;100;9", kNoError},
        {"DAC5:CODE 1", "", kHeaderSuffixOutOfRange},
        {"DAC0:CODE?", "", kHeaderSuffixOutOfRange},
        {"DAC:CODE 7,(@1:4);:DAC:CODE? (@1:4)", "7,7,7,7", kNoError},
        {"DAC:CODE (@2),8;:DAC:CODE? (@4:1);CODE? (@1,3)", "7,7,8,7;7,7", kNoError},
        {"DAC:CODE? (@5)", "", kIllegalParameterValue},
        {"DAC:CODE? (@1:4,4:1,1:4,4:1,1)", "", kTooMuchData},
        {"DAC1:CODE? (@1)", "", kParameterNotAllowed},
        {"PINS:CLR (@1)", "", kParameterNotAllowed},
        {"POW:DAC2 ON;DAC2?;:POW:DAC? (@2)", "1;1", kNoError},
        {"SWE:DATA? (@1,2)", "", kIllegalParameterValue},
        {"STAT:PRES;STAT:OPER:ENAB?;PTR?", "0;32767", kNoError},
        {"SYST:ERR:NEXT?;:SYST:ERR:CODE:NEXT?", "0,\"No error\";0", kNoError},
        {"CHAR:PLAN:SETT 50MS;SETT?;TIM 2S;TIM?;SETT? MAX", "0.05;2;60", kNoError},
        {"CHAR:PLAN:SETT 5V", "", kInvalidSuffix},
        {"CHAR:PLAN:TIM 1MS", "", kDataOutOfRange},
        {"CHAR:PLAN:SETT DEF;TIM DEF;:CHAR:PLAN:SETT?;TIM?", "0.01;5", kNoError},
    };
    for (const auto& row : rows) {
        s.errors.clear();
        const std::string reply = run(row.line);
        if (row.answer) {
            EXPECT_EQ(reply, row.answer) << row.line;
        }
        EXPECT_EQ(s.errors.empty() ? 0 : s.errors.front().first, row.error) << row.line;
    }
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
        "SYST:ERR:ALL?;:SYST:ERR:CODE?", "*OPT?", "DAC2:VOLT 2500 MV;:DAC:CODE? (@1:4),MAX", "MEAS? (@4,1)", "FORM REAL,64;BORD SWAP;:FETC? A,0,2;:FORM ASC", "INIT;:ABOR", "*LRN?", "*RCL 11",
    };
    std::mt19937 rng(4816);
    const std::string alphabet = "*:;,?#HQB\"' \t.-+eE0123456789ABCDabcdxyzONFMVU()@[]\x01\x7f\xff";
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
