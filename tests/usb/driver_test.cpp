// The USB driver against an emulated microcontroller (umockdev): finding and
// opening boards, the firmware load, vendor requests, unplugging.
#include "fakeboard.h"
#include "front.h"
#include "ramload.h"
#include "trace.h"
#include "usbboard.h"
#include "usbdriver.h"
#include "usbids.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

using namespace evlink;
using namespace evlink::usb;
using Clock = std::chrono::steady_clock;

namespace {

UMockdevTestbed* g_bed = nullptr;

constexpr uint16_t kVid = kBareBoardId.vendor;
constexpr uint8_t kOut = 0x40, kIn = 0xC0;

fake::BoardSetup BoardAt(int port, bool running = false) {
    fake::BoardSetup s;
    s.vid = kVid;
    s.pidBare = kBareBoardId.product;
    s.pidLoaded = kLoadedBoardId.product;
    s.port = port;
    s.firmwareRunning = running;
    return s;
}

long Ms(Clock::time_point since) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Intel HEX text for the records, 16 data bytes a line.
std::string HexText(const std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& blocks) {
    std::string text;
    char line[80];
    auto emit = [&](uint16_t address, const uint8_t* data, int n, int type) {
        int sum = n + (address >> 8) + (address & 0xFF) + type;
        int k = std::snprintf(line, sizeof line, ":%02X%04X%02X", n, address, type);
        for (int i = 0; i < n; ++i) {
            k += std::snprintf(line + k, sizeof line - k, "%02X", data[i]);
            sum += data[i];
        }
        std::snprintf(line + k, sizeof line - k, "%02X\n", (-sum) & 0xFF);
        text += line;
    };
    for (const auto& [address, bytes] : blocks) {
        for (std::size_t i = 0; i < bytes.size(); i += 16) {
            emit(uint16_t(address + i), bytes.data() + i, int(std::min<std::size_t>(16, bytes.size() - i)), 0);
        }
    }
    emit(0, nullptr, 0, 1);
    return text;
}

std::vector<uint8_t> Pattern(std::size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7);
    return v;
}

std::string ReadAll(const std::string& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Drops (or gives back) this thread's right to open files regardless of
// their permissions, so that a root test run sees what a user does.
bool FileOverride(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
        if (on) data[0].effective |= data[0].permitted & (1u << cap);
        else data[0].effective &= ~(1u << cap);
    }
    return syscall(SYS_capset, &header, data) == 0;
}

class UsbDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv(kUsbIdsVariable);
        Reenumeration() = ReenumerationWait{};
        dir_ = testing::TempDir() + "usb_" + testing::UnitTest::GetInstance()->current_test_info()->name();
        mkdir(dir_.c_str(), 0755);
    }

    std::string WriteFile(const std::string& name, const std::string& text) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path) << text;
        return path;
    }

    // Searches and opens the one board there should be.
    std::unique_ptr<Board> OpenOnly() {
        std::string why;
        EXPECT_EQ(UsbDriver().scan(), 1);
        auto board = UsbDriver().open(0, why);
        EXPECT_TRUE(board) << why;
        return board;
    }

    std::string dir_;
};

TEST_F(UsbDriverTest, FindsBoardsByIdentifiersInPortOrder) {
    fake::Board loaded(g_bed, BoardAt(3, true));
    fake::Board bare(g_bed, BoardAt(2));
    fake::BoardSetup otherSetup = BoardAt(1);
    otherSetup.vid = 0x1111;
    fake::Board other(g_bed, otherSetup);
    EXPECT_EQ(UsbDriver().scan(), 2);
    std::string why;
    auto first = UsbDriver().open(0, why);
    ASSERT_TRUE(first) << why;
    EXPECT_FALSE(UsbDriver().open(2, why));
    // Board 0 is the one on port 2: only it stalls a firmware request.
    uint8_t buffer[3] = {};
    EXPECT_EQ(first->vendorRequest(221, 0x18, 0, 1, 3, buffer).error, "LIBUSB_ERROR_PIPE");

    setenv(kUsbIdsVariable, "1111:0816", 1);
    EXPECT_EQ(UsbDriver().scan(), 1);
    unsetenv(kUsbIdsVariable);
}

// Hold, every chunk with its bytes, release; then the board is opened again
// at its new address and answers through it.
TEST_F(UsbDriverTest, LoadsFirmwareInChunksAndReopensTheBoard) {
    fake::Board fake(g_bed, BoardAt(1));
    const int bareAddress = fake.address();
    auto board = OpenOnly();
    ASSERT_TRUE(board);
    const auto low = Pattern(2576, 3), high = Pattern(20, 200);
    const std::string file = WriteFile("fw.hex", HexText({{0x0000, low}, {0x3000, high}}));

    std::string why;
    const auto start = Clock::now();
    ASSERT_TRUE(board->loadFirmware(file, why)) << why;
    EXPECT_GE(Ms(start), Reenumeration().firstPause.count());
    EXPECT_TRUE(fake.running());
    EXPECT_NE(fake.address(), bareAddress);

    const std::vector<fake::Transfer> expected = {
        {kOut, kRamLoadRequest, kCpuControlAddress, 0, 1, {kCpuHold}},
        {kOut, kRamLoadRequest, 0x0000, 0, 1024, {low.begin(), low.begin() + 1024}},
        {kOut, kRamLoadRequest, 0x0400, 0, 1024, {low.begin() + 1024, low.begin() + 2048}},
        {kOut, kRamLoadRequest, 0x0800, 0, 528, {low.begin() + 2048, low.end()}},
        {kOut, kRamLoadRequest, 0x3000, 0, 20, high},
        {kOut, kRamLoadRequest, kCpuControlAddress, 0, 1, {kCpuRun}},
    };
    EXPECT_EQ(fake.log(), expected);

    fake.clearLog();
    fake.setReply({0x1A, 0x01, 0x03});
    uint8_t buffer[3] = {};
    ASSERT_TRUE(board->vendorRequest(221, 0x18, 0, 1, 3, buffer).ok());
    EXPECT_EQ(fake.log().size(), 1u);
}

// A board whose firmware already runs (an earlier run loaded it) is loaded
// again like a bare one: the RAM-load request is the silicon's. Here it
// comes back well after the first pause, so only a later look finds it.
// One that never comes back, or comes back without firmware, fails within
// the bound.
TEST_F(UsbDriverTest, WaitsForReenumerationUpToItsBound) {
    const std::string file = WriteFile("fw.hex", HexText({{0x0100, Pattern(64, 1)}}));
    std::string why;
    {
        fake::BoardSetup late = BoardAt(1, true);
        late.comeBackAfterMs = 1200;
        fake::Board fake(g_bed, late);
        auto board = OpenOnly();
        ASSERT_TRUE(board);
        EXPECT_TRUE(board->loadFirmware(file, why)) << why;
        EXPECT_EQ(fake.log().front().data, std::vector<uint8_t>{kCpuHold});
        EXPECT_TRUE(fake.running());
    }
    Reenumeration().bound = std::chrono::milliseconds(1500);
    for (bool comesBackBare : {false, true}) {
        fake::BoardSetup lost = BoardAt(1);
        lost.comeBack = comesBackBare;
        lost.firmwareStarts = false;
        fake::Board fake(g_bed, lost);
        auto board = OpenOnly();
        ASSERT_TRUE(board);
        const auto start = Clock::now();
        EXPECT_FALSE(board->loadFirmware(file, why));
        EXPECT_LT(Ms(start), 1500 + 500);
        EXPECT_NE(why.find("did not come back as 5E7A:4816"), std::string::npos) << why;
        // Nothing is left open that could answer.
        uint8_t buffer[1] = {0x55};
        EXPECT_FALSE(board->vendorRequest(221, 0, 0, 1, 1, buffer).ok());
        EXPECT_EQ(buffer[0], 0x55);
    }
}

TEST_F(UsbDriverTest, CarriesVendorRequestsBothWays) {
    fake::Board fake(g_bed, BoardAt(1, true));
    auto board = OpenOnly();
    ASSERT_TRUE(board);
    fake.setReply({0x1A, 0x01, 0x03, 0x0F, 0x80});

    uint8_t zero[1] = {0};
    EXPECT_TRUE(board->vendorRequest(217, 0x0001, 0x8000, 0, 0, zero).ok());
    uint8_t out[2] = {0xDE, 0xAD};
    EXPECT_TRUE(board->vendorRequest(222, 0x009D, 0x0000, 0, 2, out).ok());
    uint8_t read[4] = {0, 0, 0, 0x77};
    EXPECT_TRUE(board->vendorRequest(221, 0x0018, 0x0000, 1, 3, read).ok());
    EXPECT_EQ(std::vector<uint8_t>(read, read + 4), (std::vector<uint8_t>{0x1A, 0x01, 0x03, 0x77}));
    uint8_t adc[2] = {};
    EXPECT_TRUE(board->vendorRequest(218, 0xA000, 0x0000, 1, 2, adc).ok());
    EXPECT_EQ(adc[0], 0x0F);
    EXPECT_EQ(adc[1], 0x80);

    const std::vector<fake::Transfer> expected = {
        {kOut, 217, 0x0001, 0x8000, 0, {}},
        {kOut, 222, 0x009D, 0x0000, 2, {0xDE, 0xAD}},
        {kIn, 221, 0x0018, 0x0000, 3, {0x1A, 0x01, 0x03}},
        {kIn, 218, 0xA000, 0x0000, 2, {0x0F, 0x80}},
    };
    EXPECT_EQ(fake.log(), expected);
}

// The read buffer keeps its bytes whenever a request fails: refused by the
// board, answered short, not answered at all, or malformed.
TEST_F(UsbDriverTest, FailedRequestsLeaveTheBufferAlone) {
    fake::Board bare(g_bed, BoardAt(1));
    fake::Board running(g_bed, BoardAt(2, true));
    ASSERT_EQ(UsbDriver().scan(), 2);
    std::string why;
    auto refusing = UsbDriver().open(0, why);
    auto board = UsbDriver().open(1, why);
    ASSERT_TRUE(refusing && board) << why;
    running.setReply({0xAA, 0xBB, 0xCC});
    auto unchanged = [](const uint8_t* b) { return b[0] == 1 && b[1] == 2 && b[2] == 3; };

    uint8_t kept[3] = {1, 2, 3};
    Status s = refusing->vendorRequest(221, 0x18, 0, 1, 3, kept);
    EXPECT_EQ(s.error, "LIBUSB_ERROR_PIPE");
    EXPECT_LT(s.code, 0);
    EXPECT_TRUE(unchanged(kept));

    running.limitReplies(2);
    EXPECT_EQ(board->vendorRequest(221, 0x18, 0, 1, 3, kept).error, "SHORT_READ");
    EXPECT_TRUE(unchanged(kept));
    running.limitReplies(-1);

    running.ignoreNext();
    const auto start = Clock::now();
    EXPECT_EQ(board->vendorRequest(218, 0, 0, 1, 2, kept).error, "LIBUSB_ERROR_TIMEOUT");
    EXPECT_GE(Ms(start), long(kTransferTimeoutMs) - 50);
    EXPECT_LT(Ms(start), long(kTransferTimeoutMs) + 1000);
    EXPECT_TRUE(unchanged(kept));

    EXPECT_EQ(board->vendorRequest(221, 0x18, 0, 2, 3, kept).error, "LIBUSB_ERROR_INVALID_PARAM");
    EXPECT_TRUE(unchanged(kept));
    // The board still answers after all that.
    running.setReply({0xAA, 0xBB, 0xCC});
    EXPECT_TRUE(board->vendorRequest(221, 0x18, 0, 1, 3, kept).ok());
    EXPECT_EQ(kept[0], 0xAA);
}

// Through the C front, as the program meets it: a board pulled out with a
// read in flight fails that read and every later request at once, leaves
// the buffer as it was, and the trace names libusb's error.
TEST_F(UsbDriverTest, UnplugInFlightThroughTheFront) {
    fake::Board fake(g_bed, BoardAt(1, true));
    const std::string tracePath = dir_ + "/trace.txt";
    std::remove(tracePath.c_str());
    Trace trace(tracePath);
    Front front({&UsbDriver()}, &trace);
    int32_t count = 0, handle = 0;
    uint8_t list[128] = {};
    front.Search(kVid, kLoadedBoardId.product, &count, list);
    ASSERT_EQ(list[0], 1);
    front.Connect(kVid, kLoadedBoardId.product, list[0], &handle);
    const std::string sim = EVLINK_SIM_FIRMWARE;
    EXPECT_NE(front.Download(handle, reinterpret_cast<const uint8_t*>(sim.c_str())), 0);

    fake.setReply({0xAA, 0xBB, 0xCC});
    fake.unplugDuring(1);
    const auto start = Clock::now();
    uint8_t buffer[3] = {1, 2, 3};
    EXPECT_LT(front.Request(handle, 221, 0x18, 0, 1, 3, buffer), 0);
    EXPECT_LT(front.Request(handle, 218, 0, 0, 1, 2, buffer), 0);
    EXPECT_LT(front.Request(handle, 222, 0x9D, 0, 0, 0, buffer), 0);
    EXPECT_EQ(buffer[0] * 100 + buffer[1] * 10 + buffer[2], 123);
    const std::string firmware = WriteFile("fw.hex", HexText({{0, Pattern(16, 0)}}));
    EXPECT_NE(front.Download(handle, reinterpret_cast<const uint8_t*>(firmware.c_str())), 0);
    EXPECT_LT(Ms(start), 500);
    front.Search(kVid, kLoadedBoardId.product, &count, list);

    const std::string text = ReadAll(tracePath);
    for (const std::string& line : {
             "download path=" + sim + " -> status=-1 why=" + sim + " is the simulated board's firmware",
             std::string("request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> error=LIBUSB_ERROR_NO_DEVICE"),
             std::string("request code=222 dir=0 value=0x009D index=0x0000 length=0 -> error=LIBUSB_ERROR_NO_DEVICE"),
             std::string("why=cannot hold the board's CPU in reset: LIBUSB_ERROR_NO_DEVICE"),
             std::string("search vid=0x5E7A pid=0x4816 -> board=0"),
         }) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nnot in\n" << text;
    }
}

TEST_F(UsbDriverTest, PermissionFailureSaysWhatToDo) {
    fake::Board fake(g_bed, BoardAt(4));
    ASSERT_EQ(chmod(fake.nodeFile().c_str(), 0), 0);
    ASSERT_TRUE(FileOverride(false)) << "cannot drop this thread's file permission override";
    EXPECT_EQ(UsbDriver().scan(), 1);
    std::string why;
    auto board = UsbDriver().open(0, why);
    FileOverride(true);
    EXPECT_FALSE(board);
    EXPECT_EQ(why, "permission denied opening USB device 1-4: see the udev rules in the README");
}

// Nothing reaches the board from a file that cannot be meant for it.
TEST_F(UsbDriverTest, RefusesUnsuitableFirmwareWithoutTouchingTheBoard) {
    fake::Board fake(g_bed, BoardAt(1));
    auto board = OpenOnly();
    ASSERT_TRUE(board);
    struct Case {
        std::string file;
        const char* says;
    } cases[] = {
        {EVLINK_SIM_FIRMWARE, "simulated board's firmware"},
        {WriteFile("high.hex", HexText({{0x0000, Pattern(16, 0)}, {0xE000, Pattern(16, 0)}})), "0xE000 lies outside"},
        {WriteFile("bad.hex", ":0400000001020304F0\n:00000001FF\n"), "cannot use firmware file"},
        {dir_ + "/missing.hex", "cannot use firmware file"},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_FALSE(board->loadFirmware(c.file, why));
        EXPECT_NE(why.find(c.says), std::string::npos) << why;
    }
    EXPECT_TRUE(fake.log().empty());
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // The testbed redirects /sys and /dev for this whole process; libusb
    // starts inside it at the first search.
    g_bed = umockdev_testbed_new();
    if (!fake::MockEnvironment()) {
        std::printf("SKIPPED: not running under umockdev's preload library (umockdev-wrapper); "
                    "the USB driver tests need it\n");
        return 77;
    }
    int result = RUN_ALL_TESTS();
    g_object_unref(g_bed);
    return result;
}
