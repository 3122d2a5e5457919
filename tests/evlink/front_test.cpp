#include "front.h"
#include "options.h"
#include "sim/pace.h"
#include "sim/simboard.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using namespace evlink;
using Lines = std::vector<std::string>;

namespace {

constexpr uint16_t kVid = 0x1234, kPid = 0x5678;
const std::string kFirmware = EVLINK_TEST_FIRMWARE;
const auto* const kFirmwarePath = reinterpret_cast<const uint8_t*>(kFirmware.c_str());

// A front over the simulated board (after a USB stand-in, if given), tracing
// into a file of its own.
struct Rig {
    explicit Rig(const std::string& options, Driver* usb = nullptr)
        : sim(ParseOptions(options)), path(evtest::WriteFile("trace-" + std::to_string(++serial), "")), trace(path),
          front(ArrangeDrivers(ParseOptions(options), usb, &sim), &trace)
    {
    }
    static inline int serial = 0;
    sim::SimDriver sim;
    std::string path;
    Trace trace;
    Front front;
};

// Claims boards it cannot open, to check the numbering across drivers.
struct FakeUsb final : Driver {
    const char* name() const override { return "fake usb"; }
    int scan() override { return 2; }
    std::unique_ptr<Board> open(int n, std::string& why) override
    {
        why = "fake board " + std::to_string(n);
        return nullptr;
    }
};

}  // namespace

// Every kind of failure says why in the trace and leaves the read buffer as it was.
TEST(FrontTrace, FailuresSayWhyAndLeaveBuffersAlone)
{
    Rig rig("unplug-after=3");
    Front& f = rig.front;
    const std::string bad = evtest::WriteFile("bad.hex", ":0100000001FE\n:00000001FE\n");
    const std::string missing = evtest::Scratch() + "/two\nlines.hex";
    int32_t h = -1, count = -1;
    uint8_t buf[3] = {1, 2, 3}, list[128] = {};
    EXPECT_EQ(f.Download(1, kFirmwarePath), -1);
    f.Connect(kVid, kPid, 1, &h);  // makes the search itself
    EXPECT_EQ(f.Request(h, 221, 0x18, 0, 1, 3, buf), -1);
    f.Download(h, reinterpret_cast<const uint8_t*>(missing.c_str()));
    f.Download(h, reinterpret_cast<const uint8_t*>(bad.c_str()));
    f.Download(h, nullptr);
    f.Download(h, kFirmwarePath);
    f.Request(7, 221, 0x18, 0, 1, 3, buf);
    f.Request(h, 221, 0x18, 0, 2, 3, buf);
    f.Request(h, 221, 0x18, 0, 1, 2, buf);
    EXPECT_EQ(buf[0] * 100 + buf[1] * 10 + buf[2], 123);
    // The third request to reach the board is its last answer.
    f.Request(h, 221, 0x18, 0, 1, 3, buf);
    EXPECT_EQ(buf[0] * 100 + buf[1] * 10 + buf[2], 0);
    buf[0] = 7;
    EXPECT_NE(f.Request(h, 221, 0x18, 0, 1, 3, buf), 0);
    EXPECT_EQ(buf[0], 7);
    f.Search(kVid, kPid, &count, list);
    EXPECT_EQ(count, 0);
    EXPECT_NE(f.Download(h, kFirmwarePath), 0);
    const std::string request = "request code=221 dir=1 value=0x0018 index=0x0000 length=";
    EXPECT_EQ(evtest::ReadLines(rig.path),
              (Lines{
                  "download path=" + kFirmware + " -> status=-1 why=no board is open with handle 1",
                  "connect vid=0x1234 pid=0x5678 board=1 -> handle=1",
                  request + "3 -> error=NO_FIRMWARE",
                  "download path=" + evtest::Scratch() +
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

TEST(FrontDrivers, AbsentBoardAndNumberingAcrossDrivers)
{
    Rig absent("absent");
    int32_t count = -1, h = -1;
    uint8_t list[128];
    std::fill(std::begin(list), std::end(list), 0xAA);
    EXPECT_NE(absent.front.Search(kVid, kPid, &count, list), 0);
    EXPECT_EQ(count + list[0], 0);
    absent.front.Connect(kVid, kPid, list[0], &h);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(absent.front.LoadFirmware(kFirmwarePath), 0);
    EXPECT_EQ(evtest::ReadLines(absent.path),
              (Lines{"search vid=0x1234 pid=0x5678 -> board=0",
                     "connect vid=0x1234 pid=0x5678 board=0 -> handle=0 why=no board 0",
                     "loadfirmware path=" + kFirmware + " -> status=0 why=no board found"}));

    // USB boards come first; the simulated board follows them, unless `only`.
    FakeUsb usb;
    Rig both("", &usb);
    std::fill(std::begin(list), std::end(list), 0xAA);
    EXPECT_EQ(both.front.Search(kVid, kPid, &count, list), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(std::string(list, list + 128), std::string("\1\2\3") + std::string(125, '\0'));
    both.front.Connect(kVid, kPid, 2, &h);
    EXPECT_EQ(evtest::ReadLines(both.path).back(), "connect vid=0x1234 pid=0x5678 board=2 -> handle=0 why=fake board 1");
    both.front.Connect(kVid, kPid, 3, &h);
    EXPECT_EQ(h, 1);
    // Connecting a board again closes its earlier handle.
    both.front.Connect(kVid, kPid, 3, &h);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(both.front.Download(1, kFirmwarePath), -1);
    EXPECT_EQ(both.front.Download(2, kFirmwarePath), 0);
    EXPECT_EQ(ArrangeDrivers(ParseOptions("only"), &usb, &both.sim), (std::vector<Driver*>{&both.sim}));
}

TEST(FrontOptions, ItemsAndComplaints)
{
    std::vector<std::string> complaints;
    const Options o = ParseOptions(" only,alarm=tsd,alarm=oc-d,fault=b,,resolution=13,absent=1", &complaints);
    EXPECT_TRUE(o.only && !o.absent && o.resolution == 16 && o.alarmBits == 0x0420 && o.faultyChannels == 0x02);
    EXPECT_EQ(complaints, (Lines{"bad value in 'resolution=13' (16, 14 or 12)", "unknown option 'absent=1'"}));
}

// A late end is taken off the requests that follow at once, up to ten
// requests' worth, and forgotten after a pause.
TEST(FrontOptions, PacerMakesUpOverruns)
{
    using us = std::chrono::microseconds;
    sim::Pacer pacer(us(100));
    sim::Clock::time_point t{};
    auto late = [&](int64_t by) {
        pacer.Book(t, t + us(by));
        t += us(by);
    };
    auto next = [&](int64_t expectedWait) {
        const auto d = pacer.Deadline(t);
        EXPECT_EQ(d - t, us(expectedWait));
        pacer.Book(d, t = d);
    };
    next(100);
    late(250);
    for (int64_t wait : {0, 0, 50, 100})
        next(wait);
    late(5000);  // very late: at most ten requests' worth is made up
    for (int i = 0; i < 10; ++i)
        next(0);
    next(100);
    late(300);
    t += us(101);  // a pause: nothing owed any more
    next(100);
}

// A run of requests never goes faster than the link (how close it comes to
// the link's pace is measured by the benchmark, not asserted here).
TEST(FrontOptions, LatencyIsNeverShortened)
{
    Rig rig("latency-us=100");
    int32_t h = 0;
    rig.front.Connect(kVid, kPid, 1, &h);
    rig.front.Download(h, kFirmwarePath);
    uint8_t buf[2] = {};
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 200; ++i)
        rig.front.Request(h, 218, 0x8020, 0, 1, 2, buf);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::microseconds(200 * 100));
}
