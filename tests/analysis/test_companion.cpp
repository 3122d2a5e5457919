// The companion file: its text read back, what it refuses, and the
// conditions a channel is analysed under with and without one, agreeing
// with the data or not.
#include "analysis/conditions.h"
#include "analysis/figures.h"
#include "analysis/json.h"

#include <cmath>
#include <fstream>
#include <gtest/gtest.h>

using namespace analysis;

namespace {

RecordedSweep full()
{
    RecordedSweep c;
    c.ranges = {0, 3, std::nullopt, 5};
    c.coding = Coding::TwosComplement;
    c.resolution = 12;
    c.part = PartName(12);
    c.started = UtcText(std::chrono::system_clock::time_point(std::chrono::seconds(1796551200)));
    c.ended = "2026-12-06T10:01:40Z";
    c.steps = 40000;
    c.board = BoardIdentity{true, "only,resolution=12,offset-mv=5 \"quoted\" \xC2\xB5"};
    c.program = "QV4816X 1.1.6";
    return c;
}

// A data file's lines: channel A a 12-bit ±10V ramp through the ADC with
// the given offset, B to D flat at 1 V; `steps` swept, zeros after.
std::string dataText(size_t steps, double offset = 0)
{
    std::string text;
    for (size_t i = 0; i < kSweepSteps; ++i) {
        const double v = i < steps ? std::floor((-10 + 20.0 * (i >> 4) / 4096 + offset + 10) * 409.6 + 0.5) / 409.6 - 10 : 0;
        char line[96];
        std::snprintf(line, sizeof line, " %zu,%.7g,%s,%s,%s\r\n", i, v, i < steps ? " 1" : " 0", i < steps ? " 1" : " 0",
                      i < steps ? " 1" : " 0");
        text += line;
    }
    return text;
}

}  // namespace

TEST(Companion, ReadsBackWhatItWroteAndRefusesWhatItDidNotWrite)
{
    const std::string data = "some data file\r\n";
    const std::string text = CompanionText(full(), "Default.dat", data);
    for (const char k : text)
        ASSERT_TRUE(k == '\n' || (k >= ' ' && k < 127)) << text;
    EXPECT_NE(text.find("\"started\": \"2026-12-06T10:00:00Z\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"ranges\": {\"A\": \"+5V\", \"B\": \"\\u00b15V\", \"C\": null, \"D\": \"\\u00b110.8V\"}"),
              std::string::npos) << text;
    RecordedSweep back;
    std::string why;
    ASSERT_TRUE(ReadCompanionText(text, data.size(), DataChecksum(data), back, why)) << why;
    const RecordedSweep c = full();
    EXPECT_EQ(back.ranges, c.ranges);
    EXPECT_EQ(back.coding, c.coding);
    EXPECT_EQ(back.resolution, 12);
    EXPECT_EQ(back.part, "QV4812X");
    EXPECT_EQ(back.started, c.started);
    EXPECT_EQ(back.ended, c.ended);
    EXPECT_EQ(back.steps, 40000u);
    ASSERT_TRUE(back.board.has_value());
    EXPECT_TRUE(back.board->simulated);
    EXPECT_EQ(back.board->text, c.board->text);
    EXPECT_EQ(back.program, c.program);
    // Nothing known: nulls, read back as nothing known.
    ASSERT_TRUE(ReadCompanionText(CompanionText({}, "x", ""), 0, DataChecksum(""), back, why)) << why;
    EXPECT_TRUE(!back.coding && !back.resolution && !back.steps && !back.board && !back.ranges[0]);

    const auto with = [&](const std::string& from, const std::string& to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const std::pair<std::string, const char*> refused[] = {
        {"", "not JSON: a value is missing"},
        {"[1, 2]", "not the companion of a sweep data file"},
        {text.substr(0, text.size() - 3), "not JSON: ',' or '}' expected"},
        {with("\"version\": 1", "\"version\": 2"), "version 2 is not one this program reads"},
        {with("\"data_bytes\": 16", "\"data_bytes\": 17"), "it describes another data file (17 bytes"},
        {with("\"resolution\": 12", "\"resolution\": 13"), "\"resolution\" is not 16, 14 or 12"},
        {with("\"resolution\": 12", "\"resolution\": 12.5"), "\"resolution\" is not a whole number"},
        {with("\"coding\": \"twos\"", "\"coding\": \"gray\""), "\"coding\" is neither binary nor twos"},
        {with("\"A\": \"+5V\"", "\"A\": \"+6V\""), "the range of channel A is not one of the six"},
        {with("\"steps\": 40000", "\"steps\": 70000"), "\"steps\" is not a whole number from 0 to 65536"},
        {with("\"simulated\": true", "\"simulated\": 1"), "\"board\" does not say whether it was simulated"},
        {with("\"part\": \"QV4812X\"", "\"part\": \"" + std::string(300, 'x') + "\""), "\"part\" is not a text"},
        {with("\"version\": 1", "\"version\": 1, \"version\": 1"), "not JSON: a key appears twice"},
        {with("\"ended\": \"", "\"ended\": \"\\ud800"), "not JSON: a high surrogate without its low one"},
        {with("\"ended\": \"", "\"ended\": \"\x01"), "not JSON: a control character inside a string"},
        {with("\"steps\": 40000", "\"steps\": 1e999"), "not JSON: a number out of range"},
        {with("\"steps\": 40000", "\"steps\": 01"), "not JSON"},
        {with("\"board\": {", "\"x\": " + std::string(40, '[') + std::string(40, ']') + ", \"board\": {"),
         "not JSON: nested too deep"},
        {text + std::string(70000, ' '), "not JSON: longer than 65536 bytes"},
    };
    for (const auto& [bad, says] : refused) {
        EXPECT_FALSE(ReadCompanionText(bad, data.size(), DataChecksum(data), back, why)) << says;
        EXPECT_EQ(why.rfind(says, 0), 0u) << why;
    }
    json::Value v;
    ASSERT_TRUE(json::Parse(" {\"a\": [\"\\u00b1\\ud83d\\ude00\\n\", -0.5e+2, true, null]} ", v, why)) << why;
    EXPECT_EQ(v.Find("a")->items[0].text, "\u00B1\U0001F600\n");
    EXPECT_EQ(v.Find("a")->items[1].number, -50);
}

TEST(Companion, ConditionsComeFromTheRecordThenTheChoiceThenGuesses)
{
    // A 12-bit ±10V sweep stopped after 40,000 steps, with a 5 mV offset.
    const std::string text = dataText(40000, 0.005);
    SweepData data;
    ReadError error;
    ASSERT_TRUE(ReadSweepText(text, data, error)) << error.Text();
    ASSERT_EQ(data.checksum, DataChecksum(text));

    // Without a companion: 16 bits and straight binary assumed, the range
    // guessed; read as 16 bits, the 12-bit part's staircase is all INL.
    SweepData bare = data;
    Chosen chosen = ChooseConditions(bare, nullptr, "", {});
    EXPECT_EQ(chosen.channels[0].resolution, 16);
    EXPECT_EQ(chosen.channels[0].range, 4);
    EXPECT_EQ(chosen.notes[0].rfind("straight binary and 16 bits assumed, as nothing recorded them; range guessed from "
                                    "the readings (-9.995 V to 2.207 V): \u00B110V fits them best", 0),
              0u) << chosen.notes[0];

    // With one: its conditions, and what the user chose otherwise not taken.
    RecordedSweep recorded;
    recorded.ranges = {4, 1, 1, 1};
    recorded.coding = Coding::Binary;
    recorded.resolution = 12;
    recorded.steps = 40000;
    Choice choice;
    choice.resolution = 16;
    choice.ranges[2] = 0;
    chosen = ChooseConditions(data, &recorded, "the companion file Default.dat.json", choice);
    EXPECT_EQ(chosen.notes[0], "range \u00B110V, straight binary and 12 bits as the companion file "
                               "Default.dat.json recorded them; 16 bits not taken: the companion file Default.dat.json recorded otherwise.");
    EXPECT_NE(chosen.notes[2].find("; range +5V and 16 bits not taken: the companion file"), std::string::npos) << chosen.notes[2];
    ChannelAnalysis a = Analyse(data.volts[0], chosen.channels[0], chosen.notes[0]);
    EXPECT_EQ(a.figures.codes, 2500);
    EXPECT_LE(std::abs(a.figures.offsetErrorMv.value - 5), a.figures.offsetErrorMv.uncertainty);
    EXPECT_LE(a.figures.inlEndpointMaxLsb.value, a.figures.inlEndpointMaxLsb.uncertainty);
    EXPECT_EQ(a.notes[0], chosen.notes[0]);

    // A record that disagrees with the data wins, and the notes say where
    // the readings leave it: ±10V readings recorded as ±5V.
    recorded.ranges[0] = 3;
    chosen = ChooseConditions(data, &recorded, "the companion file Default.dat.json", {});
    a = Analyse(data.volts[0], chosen.channels[0], chosen.notes[0]);
    EXPECT_EQ(a.conditions.range, 3);
    EXPECT_FALSE(a.figures.offsetErrorMv.known());
    ASSERT_GE(a.notes.size(), 2u);
    EXPECT_EQ(a.notes[0].rfind("range \u00B15V, straight binary and 12 bits as the companion file", 0), 0u);
    EXPECT_EQ(a.notes[1].rfind("the readings run from -10.0 V to 2.2 V, beyond the \u00B15V range", 0), 0u) << a.notes[1];

    // Its steps decide what was swept: trailing zeros after 40,000 steps
    // are not; a record of all 65,536 takes them as readings.
    EXPECT_EQ(data.samples(), 40000u);
    recorded.steps = 65536;
    ChooseConditions(data, &recorded, "x", {});
    EXPECT_EQ(data.samples(), 65536u);

    // On disk: the companion beside its data file, one of another file, none.
    const std::string path = std::string(QV_TEST_SCRATCH) + "/companion14.dat";
    std::ofstream(path, std::ios::binary) << text;
    std::ofstream(CompanionPath(path), std::ios::binary) << CompanionText(recorded, "companion14.dat", text);
    RecordedSweep back;
    std::string why;
    EXPECT_EQ(ReadCompanionFile(path, data.bytes, data.checksum, back, why), CompanionRead::Read) << why;
    EXPECT_EQ(back.resolution, 12);
    EXPECT_EQ(ReadCompanionFile(path, data.bytes + 1, data.checksum, back, why), CompanionRead::Refused);
    EXPECT_EQ(why.rfind("it describes another data file", 0), 0u);
    std::remove(CompanionPath(path).c_str());
    EXPECT_EQ(ReadCompanionFile(path, data.bytes, data.checksum, back, why), CompanionRead::Absent);
    std::remove(path.c_str());
}
