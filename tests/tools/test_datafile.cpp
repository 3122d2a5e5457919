// The data file: its lines, and saving that never loses the old file.
#include "tools/datafile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
std::string readFile(const fs::path& p)
{
    std::stringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}
}  // namespace

TEST(DataLine, HasFiveFieldsWithSignSpacesAndEndsInCrLf)
{
    std::string text;
    AppendDataLine(text, 1, -9.99755859375f, -10.0f, 0.0f, 1.5f);
    // The smallest steps either side of 0 V, and a magnitude just under 0.1 V.
    AppendDataLine(text, 65535, 0.00244140625f, -0.00244140625f, 0.09765625f, -0.0f);
    EXPECT_EQ(text, " 1,-9.997559,-10, 0, 1.5\r\n 65535, 0.002441406,-0.002441406, 0.09765625, 0\r\n");
}

TEST(DataFile, ASaveReplacesTheWholeFileOrLeavesEverythingAsItWas)
{
    const fs::path dir = fs::temp_directory_path() / ("qv-datafile-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path target = dir / "Default.dat";
    std::ofstream(target) << "an old and much longer content\r\n";
    fs::permissions(target, fs::perms(0640));
    fs::create_symlink(target, dir / "link.dat");
    // Through a link: the file it points to is replaced and keeps its mode; the link stays.
    std::string why;
    ASSERT_TRUE(ReplaceFileContents((dir / "link.dat").string(), "new\r\n", why)) << why;
    EXPECT_TRUE(fs::is_symlink(dir / "link.dat"));
    EXPECT_EQ(readFile(target), "new\r\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));

    // Names that cannot be written fail; a pipe (like a device) is never replaced.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    for (const fs::path& name : {dir / "missing/run1.dat", fs::path(), dir, dir / "pipe"})
        EXPECT_FALSE(ReplaceFileContents(name.string(), "x\r\n", why)) << name;
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
    // A long but valid name still leaves room for the temporary beside it.
    const fs::path longName = dir / std::string(240, 'n');
    EXPECT_TRUE(ReplaceFileContents(longName.string(), "x\r\n", why)) << why;
    fs::remove(longName);
    if (::geteuid() != 0) {  // root may write any file
        fs::permissions(target, fs::perms(0440));
        EXPECT_FALSE(ReplaceFileContents(target.string(), "x\r\n", why));
        EXPECT_EQ(readFile(target), "new\r\n");
        fs::permissions(target, fs::perms(0640));
    }

    // A file size limit makes every write past 4 KiB fail, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = ReplaceFileContents(target.string(), std::string(1 << 20, 'x'), why);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(readFile(target), "new\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 3);  // no temporary, no partial file anywhere
    fs::remove_all(dir);
}
