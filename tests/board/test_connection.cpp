// Finding, opening and loading the board: the firmware path, Retry and Cancel,
// and the first generation's single attempt.
#include "board/boardlink.h"
#include "board/primitives.h"
#include "board/connection.h"
#include "harness.h"
#include "runtime/programend.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {
std::string bytesAsText()
{
    return std::string(reinterpret_cast<const char*>(State.FirmwarePathBytes.data()));
}

TEST(FirmwarePath, BytesAreThePathAndAZeroKeepAStaleTailAndFitIn512)
{
    harness::Setup(true);
    SetProgramDirectory("/opt/tools/longer-directory");
    ASSERT_TRUE(PrepareFirmwarePath());
    EXPECT_EQ(State.FirmwarePath, "/opt/tools/longer-directory/QV4816.hex");
    EXPECT_EQ(bytesAsText(), State.FirmwarePath);

    ASSERT_TRUE(FirmwarePathToBytes("/t/QV4816.hex"));
    EXPECT_EQ(bytesAsText(), "/t/QV4816.hex");
    // What a longer path left behind stays after the new terminator.
    EXPECT_EQ(State.FirmwarePathBytes[13], 0);
    EXPECT_EQ(State.FirmwarePathBytes[14], std::string("/opt/tools/longer-directory/QV4816.hex")[14]);

    // File-system bytes pass through unchanged, also beyond ASCII.
    const std::string utf8 = "/home/j\xC3\xB6rg/QV4816.hex";
    ASSERT_TRUE(FirmwarePathToBytes(utf8));
    EXPECT_EQ(bytesAsText(), utf8);

    // 512 characters fit; a longer path is refused whole.
    ASSERT_TRUE(FirmwarePathToBytes(std::string(512, 'x')));
    EXPECT_EQ(State.FirmwarePathBytes[512], 0);
    const auto before = State.FirmwarePathBytes;
    EXPECT_FALSE(FirmwarePathToBytes(std::string(513, 'y')));
    EXPECT_EQ(State.FirmwarePathBytes, before);
}

// A firmware path that cannot be loaded, does not fit the buffer, or whose
// directory is unknown fails the attempt with the message; the download is
// never called with a path cut short or taken from the current folder.
TEST(Connection, AnUnusableFirmwarePathFailsTheAttemptWithTheMessage)
{
    EXPECT_EQ(LinkedDirectory("/proc/self/exe"), std::filesystem::canonical("/proc/self/exe").parent_path());
    EXPECT_EQ(LinkedDirectory("/nonexistent/link"), "");
    const std::string missing = "/nonexistent-directory";
    for (const std::string& dir : {missing, "/" + std::string(600, 'd'), std::string()}) {
        harness::Setup(true);
        SetProgramDirectory(dir);
        harness::Answers() = {MsgAnswer::Cancel};
        EXPECT_THROW(EnsureBoardConnected(), ProgramEnded);
        ASSERT_EQ(harness::ShownBoxes().size(), 1u);
        EXPECT_EQ(harness::ShownBoxes()[0].title, "Failed to initialise Demo board");
        std::vector<std::string> downloads;
        for (const auto& line : harness::Trace())
            if (line.rfind("download", 0) == 0)
                downloads.push_back(line);
        EXPECT_EQ(downloads.size(), dir == missing ? 1u : 0u) << dir;
    }
}

TEST(Absent, RetryRunsTheWholeConnectionAgainAndCancelEnds)
{
    harness::Setup(true);
    harness::Answers() = {MsgAnswer::Retry, MsgAnswer::Retry, MsgAnswer::Cancel};
    try {
        EnsureBoardConnected();
    } catch (...) {
    }
    EXPECT_TRUE(harness::Ended());
    ASSERT_EQ(harness::ShownBoxes().size(), 3u);
    const auto& box = harness::ShownBoxes()[0];
    EXPECT_EQ(box.title, "Failed to initialise Demo board");
    EXPECT_EQ(box.text,
              "Failed to initialise Demo board.\r\nInsure that the board is connected to a USB port and click Retry");
    EXPECT_EQ(box.buttons, MsgButtons::RetryCancel);
    EXPECT_EQ(box.icon, MsgIcon::Exclamation);

    int searches = 0, connects = 0, downloads = 0;
    for (const auto& line : harness::Trace()) {
        searches += line.rfind("search ", 0) == 0;
        connects += line.rfind("connect ", 0) == 0;
        downloads += line.rfind("download ", 0) == 0;
        EXPECT_NE(line.rfind("request", 0), 0u) << "nothing is sent after Cancel: " << line;
    }
    EXPECT_EQ(searches, 3);
    EXPECT_EQ(connects, 3);
    EXPECT_EQ(downloads, 3);
    EXPECT_EQ(harness::Trace().front(), "search vid=0x1234 pid=0x5678 -> board=0");
}

TEST(Absent, FirstGenerationShowsItsMessageOnceAndEnds)
{
    harness::Setup(false);
    try {
        Board().ConnectStep();
    } catch (...) {
    }
    EXPECT_TRUE(harness::Ended());
    ASSERT_EQ(harness::ShownBoxes().size(), 1u);
    EXPECT_EQ(harness::ShownBoxes()[0].text, "Error Downloading Firmware - Check USB connections");
    EXPECT_EQ(harness::ShownBoxes()[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(harness::ShownBoxes()[0].title, "QV4816X");
    const auto trace = harness::Trace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].rfind("loadfirmware path=" + harness::BuildDir() + "/QV4816.hex -> status=0", 0), 0u);
}
}  // namespace
