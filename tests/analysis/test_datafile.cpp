// The data file reader: what it refuses and where, the forms it takes, the
// unswept tail of a stopped sweep, the round trip with the file writer, and
// random damage.
#include "analysis/datafile.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>
#include <memory>
#include <random>

using namespace analysis;

namespace {
bool read(std::string_view text, SweepData& data, ReadError& error)
{
    // An exact-size heap copy: a read past the end is caught by the sanitizer.
    const auto copy = std::make_unique<char[]>(text.size());
    std::memcpy(copy.get(), text.data(), text.size());
    return ReadSweepText(std::string_view(copy.get(), text.size()), data, error);
}
}  // namespace

TEST(Reader, RefusesMalformedLinesNamingThem)
{
    const std::string good = " 0,-10,-10, 0, 1.5\r\n 1,-9.997559, 0, 0, 0\r\n";
    const struct {
        std::string text;
        size_t line;
        const char* says;
    } cases[] = {
        {"", 1, "empty"},
        {good + " 2, 1, 2, 3\r\n", 3, "found 4"},
        {good + " 2, 1, 2, 3, 4, 5\r\n", 3, "found 6"},
        {good + " 3, 1, 2, 3, 4\r\n", 3, "should be 2"},
        {good + "-2, 1, 2, 3, 4\r\n", 3, "not an index"},
        {good + "\r\n 2, 1, 2, 3, 4\r\n", 3, "empty line"},
        {good + " 2, 1, 2.3.4, 3, 4\r\n", 3, "channel B ' 2.3.4' is not a number"},
        {good + " 2, 1, 2, nan, 4\r\n", 3, "channel C"},
        {good + " 2, 1, 2, 3, inf\r\n", 3, "channel D"},
        {good + " 2,+1, 2, 3, 4\r\n", 3, "channel A"},
        {good + " 2,  1, 2, 3, 4\r\n", 3, "channel A"},
        {good + " 2, 1e, 2, 3, 4\r\n", 3, "not a number"},
        {good + " 2, 0x10, 2, 3, 4\r\n", 3, "not a number"},
        {good + " 2, 1, 2, 3, 4\r\r\n", 3, "channel D"},
        {good + " 2, 1E39, 2, 3, 4\r\n", 3, "out of range"},
        {std::string("\0 0,1,2,3,4\n", 12), 1, "not an index"},
        {"index,A,B,C,D\r\n" + good, 1, "line 1 holds names, not a sweep: 'index,A,B,C,D'; a sweep data file has no header"},
        {good + " 2, 1, 2, 3, 4", 3, "line 3: the file ends inside this line, with no line end: it was cut short"},
        {good + " 2, 1, 2.5", 3, "with no line end"},
        {good + " 2, 1, 2, 3, 4\r", 3, "with no line end"},
    };
    for (const auto& c : cases) {
        SweepData data;
        ReadError error;
        EXPECT_FALSE(read(c.text, data, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << error.Text();
        EXPECT_NE(error.Text().find(c.says), std::string::npos) << error.Text();
        EXPECT_EQ(error.Text().find('\n'), std::string::npos);
    }

    std::string tooLong;
    for (int i = 0; i <= 65536; ++i)
        tooLong += " " + std::to_string(i) + ", 0, 0, 0, 1\n";
    SweepData data;
    ReadError error;
    EXPECT_FALSE(read(tooLong, data, error));
    EXPECT_EQ(error.line, 65537u);
}

TEST(Reader, TakesEveryNumberFormAndTellsTheUnsweptTail)
{
    // LF or CR LF, the forms the writer may use.
    const std::string text = " 0,.5,-.5, 5., 1.5E+07\n1,-2.441406E-09,1e-3, 5,-0\r\n 2, 0, 0, 0, 0\r\n 3, 0, 0, 0, 0\n";
    SweepData data;
    ReadError error;
    ASSERT_TRUE(read(text, data, error)) << error.Text();
    EXPECT_EQ(data.lines, 4u);
    EXPECT_EQ(data.samples(), 2u);  // a stop: from 5 V and more to exact zeros
    EXPECT_EQ(data.zeroTail, 2u);
    EXPECT_EQ(data.volts[0][0], 0.5f);
    EXPECT_EQ(data.volts[1][0], -0.5f);
    EXPECT_EQ(data.volts[3][0], 1.5e7f);
    EXPECT_EQ(data.volts[0][1], -2.441406e-9f);
    // The sweep's record of its steps decides where it knows them.
    data.TakeSteps(3);
    EXPECT_EQ(data.samples(), 3u);
    EXPECT_EQ(data.volts[2][2], 0.0f);
    data.TakeSteps(99);
    EXPECT_EQ(data.samples(), 4u);

    // Zeros that follow readings near 0 V (a board whose outputs read 0 V
    // throughout, or end there) are readings; so are zeros mid-file.
    const struct {
        const char* text;
        size_t samples;
    } tails[] = {
        {" 0, 0, 0, 0, 0\n 1, 0, 0, 0, 1\n", 2},
        {" 0, 0, 0, 0, 0\n", 1},
        {" 0, 0.002441406, 0, 0,-0.002441406\n 1, 0, 0, 0, 0\n", 2},
        {" 0,-9.997559, 0, 0, 0\n 1, 0.007324219, 0, 0, 0\n 2, 0, 0, 0, 0\n", 2},
    };
    for (const auto& t : tails) {
        ASSERT_TRUE(read(t.text, data, error)) << error.Text();
        EXPECT_EQ(data.samples(), t.samples) << t.text;
    }
}

TEST(Reader, RefusesWhatIsNotARegularFileWithoutOpeningIt)
{
    // A FIFO nobody writes to would block an open for reading.
    const std::string dir = QV_TEST_SCRATCH;
    const std::string fifo = dir + "/reader.fifo";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, const char*> cases[] = {
        {fifo, "cannot read: it is a FIFO (named pipe), not a data file"},
        {dir, "cannot read: it is a directory, not a data file"},
        {"/dev/null", "cannot read: it is a device, not a data file"},
        {dir + "/missing.dat", "cannot open: No such file or directory"},
    };
    for (const auto& [path, says] : cases) {
        SweepData data;
        ReadError error;
        EXPECT_FALSE(ReadSweepFile(path, data, error));
        EXPECT_EQ(error.line, 0u);
        EXPECT_EQ(error.Text(), says);
    }
    ::unlink(fifo.c_str());
}

TEST(Reader, GivesBackWhatTheWriterSaved)
{
    // Every ADC reading on every channel, a stopped sweep's zeros after 60,000 steps.
    std::array<std::vector<float>, 4> channels;
    std::array<std::vector<float>*, 4> arrays{};
    for (int ch = 0; ch < 4; ++ch) {
        arrays[static_cast<size_t>(ch)] = &channels[static_cast<size_t>(ch)];
        arrays[static_cast<size_t>(ch)]->assign(65536, 0.0f);
        for (int i = 0; i < 60000; ++i)
            (*arrays[static_cast<size_t>(ch)])[static_cast<size_t>(i)] = static_cast<float>(((i * (ch + 1)) % 8192) * 20 / 8192.0 - 10);
    }
    const std::string text = DataFileText({channels[0], channels[1], channels[2], channels[3]});
    SweepData data;
    ReadError error;
    ASSERT_TRUE(read(text, data, error)) << error.Text();
    EXPECT_EQ(data.lines, 65536u);
    ASSERT_EQ(data.samples(), 60000u);
    for (int ch = 0; ch < 4; ++ch)
        for (size_t i = 0; i < 60000; ++i)
            // Seven digits hold a reading to within one unit of its last place.
            ASSERT_NEAR(data.volts[static_cast<size_t>(ch)][i], (*arrays[static_cast<size_t>(ch)])[i], 1e-6) << ch << " " << i;
    // The numbers in the file come back exactly: written again, the same text.
    std::string again;
    for (size_t i = 0; i < data.lines; ++i) {
        const auto v = [&](int ch) { return i < data.samples() ? data.volts[static_cast<size_t>(ch)][i] : 0.0f; };
        AppendDataLine(again, static_cast<int32_t>(i), v(0), v(1), v(2), v(3));
    }
    EXPECT_TRUE(again == text);
}

TEST(Reader, SurvivesRandomDamage)
{
    std::string valid;
    for (int i = 0; i < 40; ++i)
        valid += " " + std::to_string(i) + ",-9.997559, 0.002441406, 1.5E+07,-2.441406E-09\r\n";
    std::mt19937 random(20261206);
    const char alphabet[] = " ,.-+eE0123456789\r\n\0x";
    for (int round = 0; round < 20000; ++round) {
        std::string text = valid;
        for (int edits = 1 + static_cast<int>(random() % 4); edits > 0 && !text.empty(); --edits) {
            const size_t at = random() % text.size();
            const char c = alphabet[random() % (sizeof alphabet - 1)];
            switch (random() % 4) {
            case 0: text[at] = c; break;
            case 1: text.insert(at, 1, c); break;
            case 2: text.erase(at, 1 + random() % 8); break;
            default: text.resize(at); break;
            }
        }
        SweepData data;
        ReadError error;
        if (read(text, data, error)) {
            EXPECT_LE(data.lines, 41u);
            EXPECT_TRUE(data.volts[0].size() == data.volts[3].size() && data.samples() <= data.lines);
        } else {
            EXPECT_GE(error.line, 1u);
            EXPECT_LE(error.line, 41u + 8);
        }
    }
}
