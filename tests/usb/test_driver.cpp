// The USB driver against an emulated microcontroller (umockdev): finding and
// opening boards, the firmware load, vendor requests, unplugging.
#include "fakeboard.h"
#include "front.h"
#include "ramload.h"
#include "usbboard.h"
#include "usbdriver.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <numeric>

using namespace evlink;
using namespace evlink::usb;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

UMockdevTestbed* g_bed = nullptr;
constexpr uint8_t kOut = 0x40, kIn = 0xC0;
const std::string kScratch = EVLINK_USB_SCRATCH;

long Ms(Clock::time_point since) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

Bytes Pattern(std::size_t n, uint8_t seed) {
    Bytes v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7);
    return v;
}

// Writes an Intel HEX file of the blocks, in the order given, 16 data bytes a record.
std::string HexFile(const std::string& name, const std::vector<std::pair<uint16_t, Bytes>>& blocks) {
    std::ofstream file(kScratch + "/" + name);
    auto record = [&](unsigned address, Bytes data, uint8_t type) {
        data.insert(data.begin(), {uint8_t(data.size()), uint8_t(address >> 8), uint8_t(address), type});
        data.push_back(uint8_t(-std::accumulate(data.begin(), data.end(), 0)));
        file << ':';
        for (uint8_t b : data) file << "0123456789ABCDEF"[b >> 4] << "0123456789ABCDEF"[b & 15];
        file << '\n';
    };
    for (const auto& [address, bytes] : blocks)
        for (std::size_t i = 0; i < bytes.size(); i += 16)
            record(unsigned(address + i), Bytes(bytes.begin() + i, bytes.begin() + std::min(i + 16, bytes.size())), 0);
    record(0, {}, 1);
    return kScratch + "/" + name;
}

// Drops (or gives back) this thread's right to open files regardless of
// their permissions, so that a root test run sees what a user does.
bool FileOverride(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        data[0].effective = on ? data[0].effective | (data[0].permitted & (1u << cap)) : data[0].effective & ~(1u << cap);
    return syscall(SYS_capset, &header, data) == 0;
}

class UsbDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv(kUsbIdsVariable);
        Reenumeration() = ReenumerationWait{};
    }
    // Searches and opens the one board there should be.
    std::unique_ptr<Board> OpenOnly() {
        std::string why;
        EXPECT_EQ(UsbDriver().scan(), 1);
        auto board = UsbDriver().open(0, why);
        EXPECT_TRUE(board) << why;
        return board;
    }
};

TEST_F(UsbDriverTest, FindsAndOpensBoardsByIdentifiersInPortOrder) {
    fake::Board loaded(g_bed, {.port = 3, .firmwareRunning = true});
    fake::Board bare(g_bed, {.port = 2});
    fake::Board other(g_bed, {.vid = 0x1111, .port = 1});
    EXPECT_EQ(UsbDriver().scan(), 2);
    std::string why;
    auto first = UsbDriver().open(0, why);
    ASSERT_TRUE(first) << why;
    EXPECT_FALSE(UsbDriver().open(2, why));
    // Board 0 is the one on port 2: only it refuses a firmware request, and
    // the buffer keeps its bytes.
    uint8_t buffer[3] = {1, 2, 3};
    const Status s = first->vendorRequest(221, 0x18, 0, 1, 3, buffer);
    EXPECT_TRUE(s.code < 0 && s.error == "LIBUSB_ERROR_PIPE");
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{1, 2, 3}));
    // Without the permission to open the device node, the trace says what to do.
    gchar* root = umockdev_testbed_get_root_dir(g_bed);
    for (const auto& node : std::filesystem::directory_iterator(root + std::string("/dev/bus/usb/001")))
        ASSERT_EQ(chmod(node.path().c_str(), 0), 0);
    g_free(root);
    ASSERT_TRUE(FileOverride(false)) << "cannot drop this thread's file permission override";
    EXPECT_FALSE(UsbDriver().open(1, why));
    FileOverride(true);
    EXPECT_EQ(why, "permission denied opening USB device 1-3: see the udev rules in the README");
    setenv(kUsbIdsVariable, "1111:0816", 1);
    EXPECT_EQ(UsbDriver().scan(), 1);
}

// A board whose firmware already runs (an earlier run loaded it) is loaded
// again like a bare one: hold, every chunk with its bytes in address order
// (later records win), release. It comes back at a new address well after
// the first pause, so only a later look finds it. Then requests both ways,
// exactly as sent; a failed one (answered short, not answered, malformed)
// leaves the read buffer alone, and the board still answers after them.
TEST_F(UsbDriverTest, LoadsFirmwareThenCarriesRequests) {
    fake::Board fake(g_bed, {.firmwareRunning = true, .comeBackAfterMs = 1200});
    auto board = OpenOnly();
    ASSERT_TRUE(board);
    const Bytes low = Pattern(2576, 3), top = Pattern(20, 200), patch = Pattern(4, 99);
    Bytes patched = low;
    std::copy(patch.begin(), patch.end(), patched.begin() + 0x100);
    const std::string file = HexFile("fw.hex", {{0x3FEC, top}, {0x0000, low}, {0x0100, patch}});
    std::string why;
    auto start = Clock::now();
    ASSERT_TRUE(board->loadFirmware(file, why)) << why;
    EXPECT_GE(Ms(start), 1200);

    fake.setReply({0x1A, 0x01, 0x03});
    uint8_t zero[1] = {0}, out[2] = {0xDE, 0xAD}, read[4] = {0, 0, 0, 0x77}, adc[2] = {};
    EXPECT_TRUE(board->vendorRequest(217, 0x0001, 0x8000, 0, 0, zero).ok());
    EXPECT_TRUE(board->vendorRequest(222, 0x009D, 0x0000, 0, 2, out).ok());
    EXPECT_TRUE(board->vendorRequest(221, 0x0018, 0x0000, 1, 3, read).ok());
    EXPECT_TRUE(board->vendorRequest(218, 0xA000, 0x0000, 1, 2, adc).ok());
    EXPECT_EQ(fake.log(), (std::vector<fake::Transfer>{
                              {kOut, kRamLoadRequest, kCpuControlAddress, 0, 1, {kCpuHold}},
                              {kOut, kRamLoadRequest, 0x0000, 0, 1024, {patched.begin(), patched.begin() + 1024}},
                              {kOut, kRamLoadRequest, 0x0400, 0, 1024, {patched.begin() + 1024, patched.begin() + 2048}},
                              {kOut, kRamLoadRequest, 0x0800, 0, 528, {patched.begin() + 2048, patched.end()}},
                              {kOut, kRamLoadRequest, 0x3FEC, 0, 20, top},
                              {kOut, kRamLoadRequest, kCpuControlAddress, 0, 1, {kCpuRun}},
                              {kOut, 217, 0x0001, 0x8000, 0, {}},
                              {kOut, 222, 0x009D, 0x0000, 2, {0xDE, 0xAD}},
                              {kIn, 221, 0x0018, 0x0000, 3, {0x1A, 0x01, 0x03}},
                              {kIn, 218, 0xA000, 0x0000, 2, {0x1A, 0x01}},
                          }));

    fake.setReply({0xEE});
    fake.setNext(fake::Next::AnswerShort);
    EXPECT_EQ(board->vendorRequest(221, 0x18, 0, 1, 3, read).error, "SHORT_READ");
    fake.setNext(fake::Next::NoAnswer);
    start = Clock::now();
    EXPECT_EQ(board->vendorRequest(218, 0, 0, 1, 2, read).error, "LIBUSB_ERROR_TIMEOUT");
    EXPECT_GE(Ms(start), long(kTransferTimeoutMs) - 50);
    EXPECT_LT(Ms(start), long(kTransferTimeoutMs) + 3000);
    EXPECT_EQ(board->vendorRequest(221, 0x18, 0, 2, 3, read).error, "LIBUSB_ERROR_INVALID_PARAM");
    EXPECT_EQ(Bytes(read, read + 4), (Bytes{0x1A, 0x01, 0x03, 0x77}));
    EXPECT_TRUE(board->vendorRequest(221, 0x18, 0, 1, 3, read).ok());
}

// Nothing reaches the board from a file that cannot be meant for it: ours,
// one with data past the RAM or on the CPU control register, an empty one,
// or none. A board that comes back without its firmware fails the load
// within the bound, and nothing is left open that could answer.
TEST_F(UsbDriverTest, RefusesUnsuitableFirmwareOrGivesUp) {
    fake::Board fake(g_bed, {.firmwareStarts = false});
    auto board = OpenOnly();
    ASSERT_TRUE(board);
    const std::pair<std::string, std::string> cases[] = {
        {EVLINK_SIM_FIRMWARE, " is the simulated board's firmware and cannot run on a real board"},
        {HexFile("high.hex", {{0x3FF1, Pattern(16, 0)}}), "data at 0x4000 lies outside the microcontroller's RAM"},
        {HexFile("cpu.hex", {{kCpuControlAddress, {0}}}), "data at 0xE600 lies outside"},
        {HexFile("empty.hex", {}), "the firmware file holds no data"},
        {kScratch + "/missing.hex", "cannot use firmware file"},
    };
    std::string why;
    for (const auto& [file, says] : cases) {
        EXPECT_FALSE(board->loadFirmware(file, why));
        EXPECT_NE(why.find(says), std::string::npos) << why;
    }
    EXPECT_TRUE(fake.log().empty());

    Reenumeration().bound = std::chrono::milliseconds(1500);
    const auto start = Clock::now();
    EXPECT_FALSE(board->loadFirmware(HexFile("fw.hex", {{0x0100, Pattern(64, 1)}}), why));
    EXPECT_LT(Ms(start), 1500 + 2000);
    EXPECT_EQ(why, "the board on USB 1-1 did not come back as 5E7A:4816 with its firmware within 1500 ms "
                   "(starting the CPU gave LIBUSB_ERROR_IO)");
    uint8_t buffer[1] = {0x55};
    EXPECT_FALSE(board->vendorRequest(221, 0, 0, 1, 1, buffer).ok());
    EXPECT_EQ(buffer[0], 0x55);
}

// Through the C front, as the program meets it: a board pulled out with a
// read in flight fails that read and every later request at once, leaves
// the buffer as it was, and the trace names libusb's error.
TEST_F(UsbDriverTest, UnplugInFlightThroughTheFront) {
    fake::Board fake(g_bed, {.firmwareRunning = true});
    const std::string tracePath = kScratch + "/trace.txt";
    std::remove(tracePath.c_str());
    Trace trace(tracePath);
    Front front({&UsbDriver()}, &trace);
    int32_t count = 0, handle = 0;
    uint8_t list[128] = {}, buffer[3] = {1, 2, 3};
    front.Connect(kLoadedBoardId.vendor, kLoadedBoardId.product, 1, &handle);
    fake.setNext(fake::Next::Unplug);
    const auto start = Clock::now();
    EXPECT_LT(front.Request(handle, 221, 0x18, 0, 1, 3, buffer), 0);
    EXPECT_LT(front.Request(handle, 222, 0x9D, 0, 0, 0, buffer), 0);
    const std::string firmware = HexFile("fw.hex", {{0, Pattern(16, 0)}});
    EXPECT_NE(front.Download(handle, reinterpret_cast<const uint8_t*>(firmware.c_str())), 0);
    EXPECT_LT(Ms(start), 900);  // well before the 1 s time-out: no waiting on a gone board
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{1, 2, 3}));
    front.Search(kLoadedBoardId.vendor, kLoadedBoardId.product, &count, list);
    std::ifstream in(tracePath);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "connect vid=0x5E7A pid=0x4816 board=1 -> handle=1",
                         "request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> error=LIBUSB_ERROR_NO_DEVICE",
                         "request code=222 dir=0 value=0x009D index=0x0000 length=0 -> error=LIBUSB_ERROR_NO_DEVICE",
                         "download path=" + firmware +
                             " -> status=-1 why=cannot hold the board's CPU in reset: LIBUSB_ERROR_NO_DEVICE",
                         "search vid=0x5E7A pid=0x4816 -> board=0",
                     }));
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
    const int result = RUN_ALL_TESTS();
    g_object_unref(g_bed);
    return result;
}
