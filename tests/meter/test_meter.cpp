// The bench meter library: addresses, answers, the conversation over TCP with
// the simulated meter (and its faults), and the USBTMC path against a
// pseudo-terminal standing in for the device file.
#include "simmeterprocess.h"

#include "meter/sim/instrument.h"
#include "meter/error.h"
#include "meter/meter.h"
#include "evlink/sim/probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using meter::Error;

namespace {

std::string Scratch(const std::string& name) { return std::string(QV_TEST_SCRATCH) + "/" + name; }

meter::Timeouts Short() { return {std::chrono::milliseconds(2000), std::chrono::milliseconds(300)}; }

// The kind of Error `f` throws, or nothing.
template <typename F>
std::optional<Error::Kind> Thrown(F&& f, std::string* what = nullptr)
{
    try {
        f();
    } catch (const Error& e) {
        if (what)
            *what = e.what();
        return e.kind();
    }
    return std::nullopt;
}

TEST(MeterAddress, Forms)
{
    struct Row {
        const char* text;
        const char* back;  // nullptr: refused
    } rows[] = {
        {"tcp://192.168.1.20", "tcp://192.168.1.20:5025"},
        {"tcp://dmm.lab:5555", "tcp://dmm.lab:5555"},
        {"tcp://[::1]:6000", "tcp://[::1]:6000"},
        {"tcp://[fe80::1%eth0]", "tcp://[fe80::1%eth0]:5025"},
        {"usbtmc:///dev/usbtmc0", "usbtmc:///dev/usbtmc0"},
        {"tcp://", nullptr},
        {"tcp://host:", nullptr},
        {"tcp://host:0", nullptr},
        {"tcp://host:65536", nullptr},
        {"tcp://host:50x", nullptr},
        {"tcp://ho st", nullptr},
        {"tcp://a/b", nullptr},
        {"tcp://[::1", nullptr},
        {"tcp://[::1]x", nullptr},
        {"usbtmc://dev/usbtmc0", nullptr},
        {"usbtmc:///dev/usb\ntmc0", nullptr},
        {"TCPIP0::1.2.3.4::INSTR", nullptr},
        {"", nullptr},
    };
    for (const auto& row : rows) {
        std::string why;
        const auto a = meter::ParseAddress(row.text, why);
        EXPECT_EQ(a.has_value(), row.back != nullptr) << row.text;
        if (a)
            EXPECT_EQ(a->Text(), row.back);
        else
            EXPECT_FALSE(why.empty()) << row.text;
    }
}

TEST(MeterAnswers, Readings)
{
    const std::pair<const char*, double> good[] = {
        {"+1.234567890E+00", 1.23456789}, {" -0.5 ", -0.5}, {"10", 10}, {"-1.0e-3", -1e-3}, {".5", 0.5}, {"5.", 5},
    };
    for (const auto& [text, v] : good)
        EXPECT_DOUBLE_EQ(meter::ParseReading(text), v) << text;
    const char* garbage[] = {"", " ", "abc", "1.2.3", "1e", "1E+", "nan", "inf", "0x10", "1,2", "+1.2\x01?VOLT#",
                             "--1", "1e99999", "+1.0E+00 V", "1111111111111111111111111111111111111111111111111111111111111111111"};
    for (const char* text : garbage)
        EXPECT_EQ(Thrown([&] { meter::ParseReading(text); }), Error::Kind::Garbage) << text;
    std::string what;
    EXPECT_EQ(Thrown([] { meter::ParseReading("+9.90000000E+37"); }, &what), Error::Kind::Refused);
    EXPECT_NE(what.find("overload"), std::string::npos);
}

TEST(MeterAnswers, ErrorEntriesAndIdentity)
{
    EXPECT_EQ(meter::ParseErrorEntry("+0,\"No error\""), (std::pair<int, std::string>{0, "No error"}));
    EXPECT_EQ(meter::ParseErrorEntry("-113,\"Undefined header\""), (std::pair<int, std::string>{-113, "Undefined header"}));
    EXPECT_EQ(meter::ParseErrorEntry("0"), (std::pair<int, std::string>{0, ""}));
    for (const char* bad : {"", "No error", "x,\"a\"", "-1\x02,\"a\""})
        EXPECT_EQ(Thrown([&] { meter::ParseErrorEntry(bad); }), Error::Kind::Garbage) << bad;

    const auto id = meter::ParseIdentity("Maker Inc, DMM-1 ,SN42,1.0");
    EXPECT_EQ(id.Text(), "Maker Inc,DMM-1,SN42,1.0");
    for (const char* bad : {"", "a,b,c", "a,b,c,d,e", ",b,c,d", "a,,c,d", "a,b\x7F,c,d"})
        EXPECT_EQ(Thrown([&] { meter::ParseIdentity(bad); }), Error::Kind::Garbage) << bad;
}

TEST(MeterAnswers, SetupCommands)
{
    meter::Setup s;
    s.expectedVolts = 10.8;
    s.nplc = 10;
    s.autoZero = meter::AutoZero::Once;
    EXPECT_EQ(meter::SetupCommands(s),
              (std::vector<std::string>{"*CLS", "CONF:VOLT:DC 10.8", "VOLT:DC:NPLC 10", "ZERO:AUTO ONCE"}));
    s.style = meter::SetupStyle::Function;
    s.autoZero = meter::AutoZero::Off;
    EXPECT_EQ(meter::SetupCommands(s), (std::vector<std::string>{"*CLS", "FUNC \"VOLT:DC\"", "VOLT:DC:RANG 10.8",
                                                                 "VOLT:DC:NPLC 10", "ZERO:AUTO OFF"}));
}

// The simulated meter over TCP, measuring what the test publishes as the board.
class MeterTcp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::unlink(probePath.c_str());
        std::string why;
        probe = std::make_unique<evlink::sim::ProbeWriter>(probePath, why);
        ASSERT_TRUE(probe->ok()) << why;
    }

    std::unique_ptr<meter::Meter> Open(const testmeter::SimMeterProcess& sim)
    {
        std::string why;
        return meter::Meter::Open(*meter::ParseAddress(sim.address(), why), Short());
    }

    std::string probePath = Scratch("meter.probe");
    std::unique_ptr<evlink::sim::ProbeWriter> probe;
};

TEST_F(MeterTcp, IdentifiesConfiguresAndReads)
{
    for (const auto style : {meter::SetupStyle::Configure, meter::SetupStyle::Function}) {
        probe->Publish({0, -10.8, 0, 0});
        testmeter::SimMeterProcess sim({"--probe", probePath, "--channel", "B", "--noise-uv", "0"});
        ASSERT_TRUE(sim.ok());
        auto m = Open(sim);
        EXPECT_EQ(m->Identify().model, "QV-SIMDMM");
        meter::Setup setup;
        setup.expectedVolts = 10.8;
        setup.style = style;
        const auto c = m->Configure(setup);
        EXPECT_DOUBLE_EQ(c.rangeVolts, 10);  // 10.8 V is within the 10 V range's 120 %
        EXPECT_DOUBLE_EQ(c.resolutionVolts, 10e-6);
        EXPECT_NEAR(m->Read(), -10.8, 1e-9);
        probe->Publish({0, 2.5, 0, 0});
        // The two halves of a reading, waiting on the descriptor in between.
        m->StartReading();
        pollfd p{m->WatchFd(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 2000), 1);
        EXPECT_TRUE(m->ReadingWaiting());
        EXPECT_NEAR(m->FinishReading(), 2.5, 1e-9);
    }
}

TEST_F(MeterTcp, FaultsEndInAClearError)
{
    const std::pair<const char*, Error::Kind> rows[] = {
        {"--hang-after", Error::Kind::Timeout},
        {"--garbage-after", Error::Kind::Garbage},
        {"--disconnect-after", Error::Kind::Closed},
    };
    for (const auto& [option, kind] : rows) {
        testmeter::SimMeterProcess sim({"--probe", probePath, option, "2"});
        ASSERT_TRUE(sim.ok());
        auto m = Open(sim);
        m->Read();
        m->Read();
        std::string what;
        EXPECT_EQ(Thrown([&] { m->Read(); }, &what), kind) << option;
        EXPECT_NE(what.find(sim.address()), std::string::npos) << what;
    }
}

TEST_F(MeterTcp, NobodyListening)
{
    // A port that was free a moment ago.
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(s);
    std::string why;
    const auto address = meter::ParseAddress("tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port)), why);
    EXPECT_EQ(Thrown([&] { meter::Meter::Open(*address, Short()); }, &why), Error::Kind::Open);
    EXPECT_NE(why.find("cannot connect"), std::string::npos) << why;
}

// The USBTMC path: the device file is a terminal whose other side is a meter.
TEST(MeterUsbtmc, StandInDevice)
{
    simmeter::Settings settings;
    settings.noiseUv = 0;
    simmeter::Instrument instrument(settings);  // no probe: it reads 0 V
    testmeter::PtyPeer peer([&](const std::string& line) -> std::optional<std::string> {
        std::string answer;
        if (instrument.Line(line, answer) != simmeter::Instrument::Fate::Answer)
            return std::nullopt;
        return answer;
    });
    std::string why;
    const auto address = meter::ParseAddress("usbtmc://" + peer.path(), why);
    ASSERT_TRUE(address) << why;
    auto m = meter::Meter::Open(*address, Short());
    ASSERT_GE(m->WatchFd(), 0);
    EXPECT_EQ(m->Identify().maker, "QV4816X");
    meter::Setup setup;
    setup.expectedVolts = 5;
    EXPECT_DOUBLE_EQ(m->Configure(setup).rangeVolts, 10);
    EXPECT_DOUBLE_EQ(m->Read(), 0);
    peer.Close();
    EXPECT_EQ(Thrown([&] { m->Read(); }), Error::Kind::Closed);
}

TEST(MeterUsbtmc, HostileDevices)
{
    // Silence, an endless answer, a set-up the meter refuses.
    int errorsLeft = 1;
    testmeter::PtyPeer peer([&](const std::string& line) -> std::optional<std::string> {
        if (line == "READ?")
            return std::string(10000, '1');
        if (line == "SYST:ERR?")
            return errorsLeft-- > 0 ? "-113,\"Undefined header\"" : "+0,\"No error\"";
        return std::nullopt;
    });
    std::string why;
    auto m = meter::Meter::Open(*meter::ParseAddress("usbtmc://" + peer.path(), why), Short());
    EXPECT_EQ(Thrown([&] { m->Identify(); }), Error::Kind::Timeout);
    EXPECT_EQ(Thrown([&] { m->Configure({}); }, &why), Error::Kind::Refused);
    EXPECT_NE(why.find("-113 Undefined header"), std::string::npos) << why;
    EXPECT_EQ(Thrown([&] { m->Read(); }, &why), Error::Kind::Garbage);
    EXPECT_NE(why.find("longer than 4096"), std::string::npos) << why;

    // Not devices at all.
    const std::string file = Scratch("not-a-device");
    std::ofstream(file) << "x";
    for (const std::string& path : {file, Scratch("missing-device"), std::string(QV_TEST_SCRATCH)})
        EXPECT_EQ(Thrown([&] { meter::Meter::Open(*meter::ParseAddress("usbtmc://" + path, why)); }), Error::Kind::Open)
            << path;
}

}  // namespace
