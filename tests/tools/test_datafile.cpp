// The data file: its lines, a whole sweep written and read back, and saving
// that never loses the old file.
#include "board/adc.h"
#include "board/declare.h"
#include "tools/datafile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
std::string line(int32_t i, float a, float b, float c, float d)
{
    std::string s;
    AppendDataLine(s, i, a, b, c, d);
    return s;
}

std::string readFile(const fs::path& p)
{
    std::stringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

// Fields of one line; the numbers as a lenient reader takes them (sign
// space, plain or exponent form).
std::vector<std::string> fields(const std::string& l)
{
    std::vector<std::string> out;
    std::stringstream parts(l);
    for (std::string f; std::getline(parts, f, ',');)
        out.push_back(f);
    return out;
}

void fillSweep(ProgramState& s, int swept)
{
    s.SampleCount = 65536;
    for (auto* v : {&s.SweepVoltsA, &s.SweepVoltsB, &s.SweepVoltsC, &s.SweepVoltsD})
        v->assign(65537, 99.0f);  // the extra element is never written out
    for (int i = 0; i < 65536; ++i) {
        const bool done = i < swept;
        s.SweepVoltsA[i] = done ? AdcCodeToVolts(i % 8192) : 0.0f;
        s.SweepVoltsB[i] = done ? -AdcCodeToVolts(i % 8192) : 0.0f;
        s.SweepVoltsC[i] = done ? std::sin(static_cast<float>(i)) * 12.0f : 0.0f;  // not ADC values
        s.SweepVoltsD[i] = done ? AdcCodeToVolts(8191 - i % 8192) : 0.0f;
    }
}

class DataFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("qv-datafile-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    size_t entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {})); }
    fs::path dir;
};
}  // namespace

TEST(DataLine, HasFiveFieldsWithSignSpacesAndEndsInCrLf)
{
    EXPECT_EQ(line(1, -9.99755859375f, -10.0f, 0.0f, 1.5f), " 1,-9.997559,-10, 0, 1.5\r\n");
    // The smallest steps either side of 0 V, and a magnitude just under 0.1 V.
    EXPECT_EQ(line(65535, 0.00244140625f, -0.00244140625f, 0.09765625f, -0.0f),
              " 65535, 0.002441406,-0.002441406, 0.09765625, 0\r\n");
}

TEST_F(DataFile, WholeSweepSavesAndReadsBackLineForLine)
{
    ProgramState s;
    fillSweep(s, 65536);
    std::string why;
    ASSERT_TRUE(ReplaceFileContents((dir / "sweep.dat").string(), DataFileText(s), why)) << why;
    std::ifstream in(dir / "sweep.dat", std::ios::binary);
    int32_t i = 0;
    for (std::string l; std::getline(in, l); ++i) {
        ASSERT_LT(i, 65536);
        ASSERT_EQ(l.back(), '\r');
        const auto f = fields(l.substr(0, l.size() - 1));
        ASSERT_EQ(f.size(), 5u) << l;
        ASSERT_EQ(f[0], " " + std::to_string(i));
        const float expected[4] = {s.SweepVoltsA[i], s.SweepVoltsB[i], s.SweepVoltsC[i], s.SweepVoltsD[i]};
        for (int c = 0; c < 4; ++c)
            ASSERT_NEAR(std::strtod(f[c + 1].c_str(), nullptr), expected[c], std::fabs(expected[c]) * 5e-7) << l;
    }
    EXPECT_EQ(i, 65536);

    // A stopped sweep still gives every line; no sweep at all gives none.
    fillSweep(s, 3);
    const std::string text = DataFileText(s);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 65536);
    EXPECT_NE(text.find("\r\n 3, 0, 0, 0, 0\r\n"), std::string::npos);
    ProgramState never;
    never.SampleCount = 65536;
    EXPECT_EQ(DataFileText(never), "");
}

TEST_F(DataFile, ReplacesTheWholeFileKeepingItsModeAndLinks)
{
    const fs::path target = dir / "Default.dat";
    std::ofstream(target) << "an old and much longer content\r\n";
    fs::permissions(target, fs::perms(0640));
    fs::create_symlink(target, dir / "link.dat");
    std::string why;
    ASSERT_TRUE(ReplaceFileContents(target.string(), "new\r\n", why)) << why;
    EXPECT_EQ(readFile(target), "new\r\n");
    ASSERT_TRUE(ReplaceFileContents((dir / "link.dat").string(), "newer\r\n", why)) << why;
    EXPECT_TRUE(fs::is_symlink(dir / "link.dat"));
    EXPECT_EQ(readFile(target), "newer\r\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_EQ(entries(), 2u);  // no temporary left behind
}

TEST_F(DataFile, NamesThatCannotBeWrittenFailWithoutCreatingAnything)
{
    std::string why;
    for (const std::string& name : {(dir / "missing" / "run1.dat").string(), std::string(), dir.string()})
        EXPECT_FALSE(ReplaceFileContents(name, "x", why)) << name;
    EXPECT_EQ(entries(), 0u);
    // A full device fails, and stays the device.
    EXPECT_FALSE(ReplaceFileContents("/dev/full", "x\r\n", why));
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST_F(DataFile, AWriteThatFailsPartWayLeavesTheOldFileExactlyAsItWas)
{
    // A file size limit makes every write past 4 KiB fail, as a full disk would.
    const fs::path target = dir / "Default.dat";
    const std::string old = " 0,-10,-10,-10,-10\r\n";
    std::ofstream(target, std::ios::binary) << old;
    ProgramState s;
    fillSweep(s, 65536);
    const std::string text = DataFileText(s);

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string why;
    const bool ok = ReplaceFileContents(target.string(), text, why);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(entries(), 1u);  // no partial file anywhere
}
