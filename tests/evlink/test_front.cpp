#include "evlink1.h"
#include "evlink4.h"
#include "front.h"
#include "options.h"
#include "sim/pace.h"
#include "sim/probe.h"
#include "sim/simboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace evlink;
using Lines = std::vector<std::string>;

namespace {

constexpr uint16_t kVid = 0x1234, kPid = 0x5678;
const std::string kScratch = EVLINK_TEST_SCRATCH;

std::string WriteFile(const std::string& name, const std::string& text)
{
    std::ofstream(kScratch + "/" + name, std::ios::trunc) << text;
    return kScratch + "/" + name;
}

Lines ReadLines(const std::string& path)
{
    Lines lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

const std::string kBuild = EVLINK_TEST_BUILD_DIR, kFirmware = kBuild + "/QV4816.hex";
const auto* const kFirmwarePath = reinterpret_cast<const uint8_t*>(kFirmware.c_str());

// A front over the simulated board (after a USB stand-in, if given), tracing
// into a file of its own.
struct Rig {
    explicit Rig(const std::string& options, Driver* usb = nullptr)
        : sim(ParseOptions(options)), path(WriteFile("trace-" + options, "")), trace(path),
          front(ArrangeDrivers(ParseOptions(options), usb, &sim), &trace) {}
    sim::SimDriver sim;
    std::string path;
    Trace trace;
    Front front;
};

#define OP(lib, fn) reinterpret_cast<decltype(&fn)>(dlsym(lib, #fn))

// Both generations side by side, each with a board of its own; a non-zero
// result says which check failed.
int UseBothLibraries()
{
    void* four = dlopen((kBuild + "/libEVLINK4.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    void* one = dlopen((kBuild + "/libEVLINK1.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (four == nullptr || one == nullptr)
        return 10;
    // Nothing of the inside shows.
    if (dlsym(four, "_ZN6evlink8ParseHexESt17basic_string_viewIcSt11char_traitsIcEE") != nullptr ||
        dlsym(four, "LoadFirmWare") != nullptr || dlsym(one, "Connect") != nullptr)
        return 11;
    int32_t count = 0, h = 0;
    uint8_t list[128] = {}, zero = 0, buf[4] = {9, 9, 9, 9};
    OP(four, Search_For_Boards)(0x1234, 0x5678, &count, list);
    OP(four, Connect)(0x1234, 0x5678, list[0], &h);
    OP(four, Download_Firmware)(h, kFirmwarePath);
    auto request4 = OP(four, Vendor_Request);
    request4(h, 217, 0x02, 0x80C5, 0, 0, &zero);  // DAC C, then the LDAC pulse
    request4(h, 221, 0x82, 0, 0, 0, &zero);
    if (request4(h, 221, 0x18, 0, 1, 3, buf) != 0 || buf[3] != 9)
        return 12;
    request4(h, 221, 0x12345678, -1, 0, 0, &zero);

    auto request1 = OP(one, VendorIORequest);
    request1(222, 0x9D, 0, 0, 0, &zero);  // not loaded yet
    OP(one, LoadFirmWare)(kFirmwarePath);
    request1(221, 0x82, 0, 0, 0, &zero);
    request1(221, 0x18, 0, 1, 3, buf);

    // Each library names the board it opened; the text is cut to fit.
    char id[64] = {}, small[10] = {};
    if (OP(four, Board_Identity)(h, reinterpret_cast<uint8_t*>(id), sizeof id) != 0 ||
        std::string(id) != "SIMULATED,only,resolution=12")
        return 13;
    if (OP(four, Board_Identity)(h + 1, reinterpret_cast<uint8_t*>(id), sizeof id) != -1 ||
        OP(one, BoardIdentity)(reinterpret_cast<uint8_t*>(small), sizeof small) != 0 ||
        std::string(small) != "SIMULATED")
        return 14;
    return 0;
}

// Without EVLINK_SIM the simulated board is never found: only real boards
// are searched (none here, or none of them simulated).
int SearchWithoutAsking()
{
    void* four = dlopen((kBuild + "/libEVLINK4.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (four == nullptr)
        return 10;
    int32_t count = 0;
    uint8_t list[128] = {};
    OP(four, Search_For_Boards)(0x1234, 0x5678, &count, list);
    for (int32_t n = 1; n <= count; ++n) {
        int32_t h = 0;
        char id[64] = {};
        OP(four, Connect)(0x1234, 0x5678, static_cast<uint8_t>(n), &h);
        OP(four, Board_Identity)(h, reinterpret_cast<uint8_t*>(id), sizeof id);
        if (std::string(id).rfind("SIMULATED", 0) == 0)
            return 20;
    }
    return 0;
}

}  // namespace

// Every kind of failure says why in the trace and leaves the read buffer as it was.
TEST(FrontTrace, FailuresSayWhyAndLeaveBuffersAlone)
{
    Rig rig("unplug-after=3");
    Front& f = rig.front;
    const std::string bad = WriteFile("bad.hex", ":0100000001FE\n:00000001FE\n");
    int32_t h = -1, count = -1;
    uint8_t buf[3] = {1, 2, 3}, list[128];
    f.Download(1, kFirmwarePath);
    f.Connect(kVid, kPid, 1, &h);  // makes the search itself
    EXPECT_EQ(f.Request(h, 221, 0x18, 0, 1, 3, buf), -1);
    f.Download(h, reinterpret_cast<const uint8_t*>((kScratch + "/two\nlines.hex").c_str()));
    f.Download(h, reinterpret_cast<const uint8_t*>(bad.c_str()));
    EXPECT_EQ(f.Download(h, nullptr), -1);
    f.Download(h, kFirmwarePath);
    f.Request(7, 221, 0x18, 0, 1, 3, buf);
    f.Request(h, 221, 0x18, 0, 2, 3, buf);
    f.Request(h, 221, 0x18, 0, 1, 2, buf);
    EXPECT_EQ(buf[0] * 100 + buf[1] * 10 + buf[2], 123);
    f.Request(h, 221, 0x18, 0, 1, 3, buf);  // the third request to reach the board is its last answer
    buf[0] = 7;
    f.Request(h, 221, 0x18, 0, 1, 3, buf);
    EXPECT_EQ(buf[0], 7);
    f.Search(kVid, kPid, &count, list);
    f.Download(h, kFirmwarePath);
    const std::string request = "request code=221 dir=1 value=0x0018 index=0x0000 length=";
    EXPECT_EQ(ReadLines(rig.path),
              (Lines{
                  "download path=" + kFirmware + " -> status=-1 why=no board is open with handle 1",
                  "connect vid=0x1234 pid=0x5678 board=1 -> handle=1",
                  request + "3 -> error=NO_FIRMWARE",
                  "download path=" + kScratch +
                      "/two\\x0Alines.hex -> status=-1 why=cannot open the file: No such file or directory",
                  "download path=" + bad + " -> status=-1 why=line 2: checksum is 0xFE, should be 0xFF",
                  "download path= -> status=-1 why=no path given",
                  "download path=" + kFirmware + " -> status=0",
                  request + "3 -> error=INVALID_HANDLE",
                  "request code=221 dir=2 value=0x0018 index=0x0000 length=3 -> error=INVALID_PARAM",
                  request + "2 -> error=STALL",
                  request + "3 -> 00 00 00",
                  request + "3 -> error=NO_DEVICE",
                  "search vid=0x1234 pid=0x5678 -> board=0",
                  "download path=" + kFirmware + " -> status=-1 why=the board does not answer",
              }));
}

// A trace named after a pipe that nobody reads neither holds up the library
// nor is written: one line on standard error says so.
TEST(FrontTrace, APipeWithoutAReaderIsNoTrace)
{
    const std::string fifo = kScratch + "/no-reader", errors = WriteFile("pipe-stderr", "");
    unlink(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(10);  // ends a child that blocks
        dup2(open(errors.c_str(), O_WRONLY | O_TRUNC), 2);
        Trace trace(fifo);
        _exit(trace.Open() ? 1 : 0);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const Lines said = ReadLines(errors);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("EVLINK_TRACE: cannot open " + fifo, 0), 0u) << said[0];
}

TEST(FrontDrivers, NumberingAcrossDrivers)
{
    int32_t count = -1, h = -1;
    uint8_t list[128];
    // The USB driver's boards come first (here another simulated board), unless `only`.
    sim::SimDriver usb(Options{});
    Rig both("", &usb);
    EXPECT_EQ(both.front.Search(kVid, kPid, &count, list), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(std::string(list, list + 128), std::string("\1\2") + std::string(126, '\0'));
    both.front.Connect(kVid, kPid, 3, &h);
    EXPECT_EQ(ReadLines(both.path).back(), "connect vid=0x1234 pid=0x5678 board=3 -> handle=0 why=no board 3");
    both.front.Connect(kVid, kPid, 2, &h);
    EXPECT_EQ(h, 1);
    // Connecting a board again closes its earlier handle.
    both.front.Connect(kVid, kPid, 2, &h);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(both.front.Download(1, kFirmwarePath), -1);
    EXPECT_EQ(both.front.Download(2, kFirmwarePath), 0);
    EXPECT_TRUE(both.sim.State().firmwareRunning && !usb.State().firmwareRunning);
    EXPECT_EQ(ArrangeDrivers(ParseOptions("only"), &usb, &both.sim), (std::vector<Driver*>{&both.sim}));
}

// A late end is taken off the requests that follow, also when the caller
// works between them, up to a hundred requests' worth, and forgotten after a
// longer pause. The real wait ends at the deadline, not before, nor long after.
TEST(FrontOptions, PacerMakesUpOverruns)
{
    using us = std::chrono::microseconds;
    sim::Pacer pacer(us(100));
    sim::Clock::time_point t{};
    // A request given `wait` that ends `late` after its deadline.
    auto step = [&](int64_t wait, int64_t late) {
        const auto deadline = pacer.Deadline(t);
        EXPECT_EQ(deadline - t, us(wait));
        t = deadline + us(late);
        pacer.Book(deadline, t);
    };
    step(100, 250);
    for (int64_t wait : {0, 0, 50})
        step(wait, 0);
    step(100, 150);
    t += us(400);  // the caller's own work
    step(0, 0);
    t += us(900);
    step(50, 0);
    step(100, 50000);  // very late: at most a hundred requests' worth is made up
    for (int i = 0; i < 100; ++i)
        step(0, 0);
    step(100, 300);
    t += us(10001);  // a pause: nothing owed any more
    step(100, 0);

    sim::Pacer real(us(200));
    const auto begin = sim::Clock::now();
    for (int i = 0; i < 20; ++i) {
        const auto deadline = real.Deadline(sim::Clock::now());
        real.Finish(deadline);
        EXPECT_GE(sim::Clock::now(), deadline);
    }
    EXPECT_LT(sim::Clock::now() - begin, std::chrono::seconds(2));
}

// probe=PATH: the outputs as the DAC drives them, for a simulated meter in
// another process; 0 V once the board is gone. A file that is no probe file
// is left alone.
TEST(FrontOptions, ProbePublishesTheOutputs)
{
    const std::string path = kScratch + "/outputs.probe";
    ::unlink(path.c_str());
    std::array<double, 4> volts{};
    sim::ProbeReader reader(path);
    {
        sim::SimDriver sim(ParseOptions("only,offset-mv=1,probe=" + path));
        std::string why;
        auto board = sim.open(0, why);
        ASSERT_TRUE(board && board->loadFirmware(kFirmware, why)) << why;
        uint8_t zero = 0;
        board->vendorRequest(222, 0x8D, 0, 0, 0, &zero);      // LDAC low: writes land at once
        board->vendorRequest(221, 0x10, 0x000F, 0, 0, &zero);  // every channel powered
        board->vendorRequest(221, 0x0C, 0x0004, 0, 0, &zero);  // +-10V everywhere
        board->vendorRequest(221, 0x00, 0xC000, 0, 0, &zero);  // DAC A three quarters up
        ASSERT_TRUE(reader.Read(volts));
        EXPECT_EQ(volts, (std::array<double, 4>{5.001, -9.999, -9.999, -9.999}));
        for (unsigned ch = 0; ch < 4; ++ch)
            EXPECT_EQ(volts[ch], sim.State().device.OutputVolts(ch));
    }
    ASSERT_TRUE(reader.Read(volts));
    EXPECT_EQ(volts, (std::array<double, 4>{0, 0, 0, 0}));

    const std::string other = WriteFile("not-a-probe", "my notes\n");
    std::string why;
    EXPECT_FALSE(sim::ProbeWriter(other, why).ok());
    EXPECT_NE(why.find("left alone"), std::string::npos) << why;
    EXPECT_EQ(ReadLines(other), (Lines{"my notes"}));
    EXPECT_FALSE(sim::ProbeReader(other).Read(volts));
}

TEST(LibraryBoth, ExportsTraceAndOptionsFromTheEnvironment)
{
    const std::string trace = WriteFile("lib-trace", "");
    const std::string errors = WriteFile("lib-stderr", "");
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("EVLINK_SIM", "only, bogus ,resolution=12", 1);
        setenv("EVLINK_TRACE", trace.c_str(), 1);
        dup2(open(errors.c_str(), O_WRONLY | O_TRUNC), 2);
        _exit(UseBothLibraries());
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadLines(trace),
              (Lines{
                  "search vid=0x1234 pid=0x5678 -> board=1",
                  "connect vid=0x1234 pid=0x5678 board=1 -> handle=1",
                  "download path=" + kFirmware + " -> status=0",
                  "request code=217 dir=0 value=0x0002 index=0x80C5 length=0",
                  "request code=221 dir=0 value=0x0082 index=0x0000 length=0",
                  // bit-reversed bytes; a 12-bit part keeps the low four bits zero
                  "request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> 41 01 03",
                  "request code=221 dir=0 value=0x5678 index=0xFFFF length=0",
                  "request code=222 dir=0 value=0x009D index=0x0000 length=0 -> error=NOT_OPEN",
                  "loadfirmware path=" + kFirmware + " -> status=1",
                  "request code=221 dir=0 value=0x0082 index=0x0000 length=0",
                  // the other library's board: nothing written yet
                  "request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> 41 00 00",
              }));
    // Once per library, at its first call.
    EXPECT_EQ(ReadLines(errors), (Lines(2, "EVLINK_SIM: unknown option 'bogus' ignored")));

    for (const char* absent : {"", "absent", "only,absent"}) {
        const pid_t child = fork();
        if (child == 0) {
            if (*absent == 0)
                unsetenv("EVLINK_SIM");
            else
                setenv("EVLINK_SIM", absent, 1);
            unsetenv("EVLINK_TRACE");
            _exit(SearchWithoutAsking());
        }
        status = -1;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << absent << ": " << status;
    }
}
