#include "front.h"
#include "options.h"
#include "sim/pace.h"
#include "sim/simboard.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using namespace evlink;

namespace {

constexpr uint16_t kVid = 0x1234, kPid = 0x5678;
const std::string kFirmware = EVLINK_TEST_FIRMWARE;
uint8_t zero = 0;

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.c_str()); }

// A front over the simulated board (after a USB stand-in, if given), tracing
// into a file of its own.
struct Rig {
    explicit Rig(const std::string& options, Driver* usb = nullptr)
        : sim(ParseOptions(options)), tracePath(evtest::WriteFile("trace-" + std::to_string(++serial), "")),
          trace(tracePath), front(ArrangeDrivers(ParseOptions(options), usb, &sim), &trace)
    {
    }
    std::vector<std::string> Lines() const { return evtest::ReadLines(tracePath); }
    int32_t Open()
    {
        int32_t count = 0, handle = 0;
        uint8_t list[128] = {};
        front.Search(kVid, kPid, &count, list);
        front.Connect(kVid, kPid, list[0], &handle);
        front.Download(handle, Bytes(kFirmware));
        return handle;
    }
    static inline int serial = 0;
    sim::SimDriver sim;
    std::string tracePath;
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

// The ADC code of a channel, measured as the program measures it.
unsigned Measure(Front& f, int32_t h, unsigned channel)
{
    uint8_t buf[2] = {};
    f.Request(h, 218, static_cast<int32_t>(0x8020 | channel << 10), 0, 1, 2, buf);
    f.Request(h, 218, 0, 0, 1, 2, buf);
    return (evtest::Rev(buf[0]) << 8 | evtest::Rev(buf[1])) & 0x1FFF;
}

}  // namespace

TEST(FrontTrace, LinesOfAConnectionAndRequests)
{
    Rig rig("");
    int32_t count = -1, handle = 0;
    uint8_t list[128];
    std::fill(std::begin(list), std::end(list), 0xAA);
    EXPECT_EQ(rig.front.Search(kVid, kPid, &count, list), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(std::count(list, list + 128, 0), 127);
    EXPECT_EQ(rig.front.Connect(kVid, kPid, list[0], &handle), 0);
    EXPECT_EQ(rig.front.Download(handle, Bytes(kFirmware)), 0);

    uint8_t buf[4] = {9, 9, 9, 9};
    rig.front.Request(handle, 222, 0x9D, 0, 0, 0, &zero);
    rig.front.Request(handle, 217, 0x02, 0x80C0, 0, 0, &zero);
    rig.front.Request(handle, 221, 0x82, 0, 0, 0, &zero);
    EXPECT_EQ(rig.front.Request(handle, 221, 0x18, 0, 1, 3, buf), 0);
    using evtest::Rev;
    EXPECT_EQ((Rev(buf[0]) << 16 | Rev(buf[1]) << 8 | Rev(buf[2])) & 0xFFFF, 0x80C0);  // as the program decodes
    EXPECT_EQ(buf[3], 9);
    rig.front.Request(handle, 218, 0xA000, 0, 1, 2, buf);
    rig.front.Request(handle, 221, 0x12345678, -1, 0, 0, &zero);
    EXPECT_EQ(rig.Lines(), (std::vector<std::string>{
                               "search vid=0x1234 pid=0x5678 -> board=1",
                               "connect vid=0x1234 pid=0x5678 board=1 -> handle=1",
                               "download path=" + kFirmware + " -> status=0",
                               "request code=222 dir=0 value=0x009D index=0x0000 length=0",
                               "request code=217 dir=0 value=0x0002 index=0x80C0 length=0",
                               "request code=221 dir=0 value=0x0082 index=0x0000 length=0",
                               "request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> 41 01 03",
                               "request code=218 dir=1 value=0xA000 index=0x0000 length=2 -> 00 00",
                               "request code=221 dir=0 value=0x5678 index=0xFFFF length=0",
                           }));
}

TEST(FrontTrace, FailuresSayWhyAndLeaveBuffersAlone)
{
    Rig rig("");
    int32_t handle = -1;
    const std::string bad = evtest::WriteFile("bad.hex", evtest::HexRecord(0, 0, {1}) + "\n:00000001FE\n");
    const std::string missing = evtest::ScratchDir() + "/two\nlines.hex";
    EXPECT_EQ(rig.front.Download(1, Bytes(kFirmware)), -1);  // no handle yet
    rig.front.Connect(kVid, kPid, 1, &handle);
    uint8_t buf[3] = {1, 2, 3};
    EXPECT_EQ(rig.front.Request(handle, 221, 0x18, 0, 1, 3, buf), -1);  // no firmware yet
    rig.front.Download(handle, Bytes(missing));
    rig.front.Download(handle, Bytes(bad));
    rig.front.Download(handle, nullptr);
    rig.front.Download(handle, Bytes(kFirmware));
    rig.front.Request(7, 221, 0x18, 0, 1, 3, buf);
    rig.front.Request(handle, 221, 0x18, 0, 2, 3, buf);
    rig.front.Request(handle, 221, 0x18, 0, 1, 2, buf);
    EXPECT_EQ(buf[0] * 100 + buf[1] * 10 + buf[2], 123);

    const auto lines = rig.Lines();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "download path=" + kFirmware + " -> status=-1 why=no board is open with handle 1");
    EXPECT_EQ(lines[2], "request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> error=NO_FIRMWARE");
    EXPECT_EQ(lines[3], "download path=" + evtest::ScratchDir() +
                            "/two\\x0Alines.hex -> status=-1 why=cannot open the file: No such file or directory");
    EXPECT_EQ(lines[4], "download path=" + bad + " -> status=-1 why=line 2: checksum is 0xFE, should be 0xFF");
    EXPECT_EQ(lines[5], "download path= -> status=-1 why=no path given");
    EXPECT_EQ(lines[7], "request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> error=INVALID_HANDLE");
    EXPECT_EQ(lines[8], "request code=221 dir=2 value=0x0018 index=0x0000 length=3 -> error=INVALID_PARAM");
    EXPECT_EQ(lines[9], "request code=221 dir=1 value=0x0018 index=0x0000 length=2 -> error=STALL");
}

TEST(FrontDrivers, AbsentBoardAndNumberingAcrossDrivers)
{
    Rig absent("absent");
    int32_t count = -1, handle = -1;
    uint8_t list[128] = {5};
    EXPECT_NE(absent.front.Search(kVid, kPid, &count, list), 0);
    EXPECT_EQ(count + list[0], 0);
    absent.front.Connect(kVid, kPid, list[0], &handle);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(absent.front.LoadFirmware(Bytes(kFirmware)), 0);
    EXPECT_EQ(absent.Lines(), (std::vector<std::string>{
                                  "search vid=0x1234 pid=0x5678 -> board=0",
                                  "connect vid=0x1234 pid=0x5678 board=0 -> handle=0 why=no board 0",
                                  "loadfirmware path=" + kFirmware + " -> status=0 why=no board found",
                              }));

    // USB boards come first; the simulated board follows them, unless `only`.
    FakeUsb usb;
    Rig both("", &usb);
    both.front.Search(kVid, kPid, &count, list);
    EXPECT_EQ(count, 3);
    EXPECT_EQ((std::vector<uint8_t>(list, list + 4)), (std::vector<uint8_t>{1, 2, 3, 0}));
    both.front.Connect(kVid, kPid, 2, &handle);
    EXPECT_EQ(both.Lines().back(), "connect vid=0x1234 pid=0x5678 board=2 -> handle=0 why=fake board 1");
    both.front.Connect(kVid, kPid, 3, &handle);
    EXPECT_EQ(handle, 1);
    // Connecting a board again closes its earlier handle.
    both.front.Connect(kVid, kPid, 3, &handle);
    EXPECT_EQ(handle, 2);
    EXPECT_EQ(both.front.Download(1, Bytes(kFirmware)), -1);
    EXPECT_EQ(both.front.Download(2, Bytes(kFirmware)), 0);
    EXPECT_EQ(ArrangeDrivers(ParseOptions("only"), &usb, &both.sim), (std::vector<Driver*>{&both.sim}));
}

TEST(FrontDrivers, UnpluggedBoardStopsAnswering)
{
    Rig rig("unplug-after=3");
    const int32_t h = rig.Open();
    uint8_t buf[3] = {};
    rig.front.Request(h, 221, 0x00, 0x4321, 0, 0, &zero);
    rig.front.Request(h, 221, 0x80, 0, 0, 0, &zero);
    EXPECT_EQ(rig.front.Request(h, 221, 0x18, 0, 1, 3, buf), 0);  // the third and last answer
    const uint8_t read[3] = {buf[0], buf[1], buf[2]};
    EXPECT_NE(rig.front.Request(h, 221, 0x18, 0, 1, 3, buf), 0);
    EXPECT_TRUE(std::equal(read, read + 3, buf));

    int32_t count = -1;
    uint8_t list[128] = {};
    rig.front.Search(kVid, kPid, &count, list);
    EXPECT_EQ(count, 0);
    EXPECT_NE(rig.front.Download(h, Bytes(kFirmware)), 0);
    const auto lines = rig.Lines();
    EXPECT_EQ(lines[6], "request code=221 dir=1 value=0x0018 index=0x0000 length=3 -> error=NO_DEVICE");
    EXPECT_EQ(lines.back(), "download path=" + kFirmware + " -> status=-1 why=the board does not answer");
}

// The self-test's traffic: power frame twice, four ranges, all channels to
// zero scale then full scale (request 217), each stage measured.
TEST(FrontDrivers, SelfTestPassesOnAHealthyBoardAndFailsWithAFault)
{
    for (const std::string options : {"", "fault=c"}) {
        Rig rig(options);
        const int32_t h = rig.Open();
        rig.front.Request(h, 222, 0x9D, 0, 0, 0, &zero);
        rig.front.Request(h, 221, 0x10, 15, 0, 0, &zero);
        rig.front.Request(h, 221, 0x10, 15, 0, 0, &zero);
        for (int a = 0; a < 4; ++a)
            rig.front.Request(h, 221, 0x08 + a, 4, 0, 0, &zero);
        std::vector<unsigned> codes;
        for (int32_t code : {0, 0xFFFF}) {
            rig.front.Request(h, 217, 0x04, code, 0, 0, &zero);
            for (unsigned ch = 0; ch < 4; ++ch)
                codes.push_back(Measure(rig.front, h, ch));
        }
        if (options.empty())
            EXPECT_EQ(codes, (std::vector<unsigned>{0, 0, 0, 0, 8191, 8191, 8191, 8191}));
        else
            EXPECT_EQ(codes, (std::vector<unsigned>{0, 0, 4096, 0, 8191, 8191, 4096, 8191}));
    }
}

TEST(FrontOptions, ItemsAndComplaints)
{
    std::vector<std::string> complaints;
    const Options o = ParseOptions(" only,alarm=tsd,alarm=oc-d,fault=b,,resolution=13,absent=1", &complaints);
    EXPECT_TRUE(o.only && !o.absent && o.resolution == 16 && o.alarmBits == 0x0420 && o.faultyChannels == 0x02);
    EXPECT_EQ(complaints, (std::vector<std::string>{"bad value in 'resolution=13' (16, 14 or 12)",
                                                    "unknown option 'absent=1'"}));
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
        t = d;
        pacer.Book(d, t);
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
    const int32_t h = rig.Open();
    uint8_t buf[2] = {};
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 200; ++i)
        rig.front.Request(h, 218, 0x8020, 0, 1, 2, buf);
    const double elapsed = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(elapsed, 200 * 100 * 0.999);
}
