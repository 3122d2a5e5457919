// Saving a file that never loses the old one.
#include "runtime/savefile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/fsuid.h>
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

// A save replaces the whole file or fails without a trace. Where renaming a
// new file over the old one cannot keep what the name stands for, the file is
// written in place, as opening it would.
TEST(DataFile, SavesReplaceOrWriteInPlaceAndFailWithoutATrace)
{
    const fs::path dir = fs::temp_directory_path() / ("qv-datafile-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto file = [&](const char* name) { return std::ofstream(dir / name) << "old\r\n", dir / name; };
    const fs::path target = file("Default.dat");
    fs::permissions(target, fs::perms(0640));
    fs::create_symlink(target, dir / "link.dat");
    // Through a link: the file it points to is replaced and keeps its mode; the link stays.
    std::string why;
    ASSERT_TRUE(ReplaceFileContents((dir / "link.dat").string(), "new\r\n", why)) << why;
    EXPECT_TRUE(fs::is_symlink(dir / "link.dat"));
    EXPECT_EQ(readFile(target), "new\r\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));

    // Names that cannot be written fail, a loop of links among them; a pipe
    // (like a device) is never replaced.
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    fs::create_symlink("loop2", dir / "loop1");
    fs::create_symlink("loop1", dir / "loop2");
    for (const fs::path& name : {dir / "missing/run1.dat", fs::path(), dir, dir / "pipe", dir / "loop1"})
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
    }

    // Every name of a file with several sees the new contents; a link to
    // nothing creates its target and stays a link.
    fs::create_hard_link(file("shared.dat"), dir / "other-name.dat");
    fs::create_symlink("created.dat", dir / "dangling.dat");
    for (const char* name : {"shared.dat", "dangling.dat"})
        ASSERT_TRUE(ReplaceFileContents((dir / name).string(), "new\r\n", why)) << why;
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.dat"));
    EXPECT_EQ(readFile(dir / "other-name.dat") + readFile(dir / "created.dat"), "new\r\nnew\r\n");

    // A writable file in a folder that may not be written (root checks
    // permissions as another user would).
    const fs::path open = file("open.dat");
    fs::permissions(open, fs::perms(0666));
    fs::permissions(dir, fs::perms(0555));
    const int fsuid = ::setfsuid(65534);
    const bool saved = ReplaceFileContents(open.string(), "new\r\n", why);
    ::setfsuid(static_cast<uid_t>(fsuid));
    fs::permissions(dir, fs::perms(0755));
    EXPECT_TRUE(saved) << why;
    EXPECT_EQ(readFile(open), "new\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 10);  // no temporary left anywhere
    fs::remove_all(dir);
}
