// The data file: its lines, and saving that never loses the old file.
#include "tools/datafile.h"

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

// A fresh folder of this process, removed afterwards.
struct Folder {
    fs::path dir = fs::temp_directory_path() / ("qv-datafile-" + std::to_string(::getpid()));
    Folder()
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~Folder() { fs::remove_all(dir); }
    fs::path file(const char* name, const std::string& text) const
    {
        std::ofstream(dir / name) << text;
        return dir / name;
    }
    long count() const { return std::distance(fs::directory_iterator(dir), {}); }
};
}  // namespace

TEST(DataLine, HasFiveFieldsWithSignSpacesAndEndsInCrLf)
{
    std::string text;
    AppendDataLine(text, 1, -9.99755859375f, -10.0f, 0.0f, 1.5f);
    // The smallest steps either side of 0 V, and a magnitude just under 0.1 V.
    AppendDataLine(text, 65535, 0.00244140625f, -0.00244140625f, 0.09765625f, -0.0f);
    EXPECT_EQ(text, " 1,-9.997559,-10, 0, 1.5\r\n 65535, 0.002441406,-0.002441406, 0.09765625, 0\r\n");
}

TEST(DataFile, ASaveReplacesTheWholeFileOrFailsWithoutATrace)
{
    Folder f;
    const fs::path target = f.file("Default.dat", "an old and much longer content\r\n");
    fs::permissions(target, fs::perms(0640));
    fs::create_symlink(target, f.dir / "link.dat");
    // Through a link: the file it points to is replaced and keeps its mode; the link stays.
    std::string why;
    ASSERT_TRUE(ReplaceFileContents((f.dir / "link.dat").string(), "new\r\n", why)) << why;
    EXPECT_TRUE(fs::is_symlink(f.dir / "link.dat"));
    EXPECT_EQ(readFile(target), "new\r\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));

    // Names that cannot be written fail, a loop of links among them; a pipe
    // (like a device) is never replaced.
    ASSERT_EQ(::mkfifo((f.dir / "pipe").c_str(), 0600), 0);
    fs::create_symlink("loop2", f.dir / "loop1");
    fs::create_symlink("loop1", f.dir / "loop2");
    for (const fs::path& name : {f.dir / "missing/run1.dat", fs::path(), f.dir, f.dir / "pipe", f.dir / "loop1"})
        EXPECT_FALSE(ReplaceFileContents(name.string(), "x\r\n", why)) << name;
    EXPECT_TRUE(fs::is_fifo(f.dir / "pipe"));
    // A long but valid name still leaves room for the temporary beside it.
    const fs::path longName = f.dir / std::string(240, 'n');
    EXPECT_TRUE(ReplaceFileContents(longName.string(), "x\r\n", why)) << why;
    fs::remove(longName);
    if (::geteuid() != 0) {  // root may write any file
        fs::permissions(target, fs::perms(0440));
        EXPECT_FALSE(ReplaceFileContents(target.string(), "x\r\n", why));
        EXPECT_EQ(readFile(target), "new\r\n");
    }
    EXPECT_EQ(f.count(), 5);  // no temporary left anywhere
}

// Where renaming a new file over the old one cannot keep what the name
// stands for, the file is written in place, as opening it would.
TEST(DataFile, LinksAndClosedFoldersAreWrittenInPlace)
{
    Folder f;
    // Every name of a file with several sees the new contents.
    const fs::path shared = f.file("shared.dat", "old\r\n");
    fs::create_hard_link(shared, f.dir / "other-name.dat");
    std::string why;
    ASSERT_TRUE(ReplaceFileContents(shared.string(), "new\r\n", why)) << why;
    EXPECT_EQ(readFile(f.dir / "other-name.dat"), "new\r\n");

    // A link to nothing creates its target and stays a link.
    fs::create_symlink("created.dat", f.dir / "dangling.dat");
    ASSERT_TRUE(ReplaceFileContents((f.dir / "dangling.dat").string(), "new\r\n", why)) << why;
    EXPECT_TRUE(fs::is_symlink(f.dir / "dangling.dat"));
    EXPECT_EQ(readFile(f.dir / "created.dat"), "new\r\n");

    // A writable file in a folder that may not be written (root checks
    // permissions as another user would).
    const fs::path open = f.file("open.dat", "old\r\n");
    fs::permissions(open, fs::perms(0666));
    fs::permissions(f.dir, fs::perms(0555));
    const int fsuid = ::setfsuid(65534);
    const bool saved = ReplaceFileContents(open.string(), "new\r\n", why);
    ::setfsuid(static_cast<uid_t>(fsuid));
    fs::permissions(f.dir, fs::perms(0755));
    EXPECT_TRUE(saved) << why;
    EXPECT_EQ(readFile(open), "new\r\n");
    EXPECT_EQ(f.count(), 5);
}
