// A characterisation run as the program makes it: the session on the
// simulated board (with static errors, EVLINK_SIM) and the simulated meter
// reading the board's true outputs, driven from the event loop. Each code's
// mean comes back within 0.1 LSB of the board's transfer; a meter that
// hangs, answers garbage or goes away stops the run with a message and
// leaves the file with every code measured; pause, resume and stop.
#include "characterise/session.h"

#include "analysis/results.h"

#include "board/boardlink.h"
#include "board/ops.h"
#include "board/primitives.h"
#include "board/state.h"
#include "harness.h"
#include "simmeterprocess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace characterise;

namespace {

std::string Scratch(const std::string& name) { return std::string(QV_TEST_SCRATCH) + "/" + name; }

struct Pulse final : PulseLdacSetting {
    bool PulseLdacTicked() const override { return true; }
};

// The board connected once; `channel` powered and on `range`.
void BoardReady(int channel, int range)
{
    static bool connected = false;
    static Pulse pulse;
    if (!connected) {
        harness::Setup(true, false);
        AttachPanel(&pulse, nullptr);
        Board().ConnectStep();
        ops::StartUpTraffic();
        connected = true;
    }
    ops::SetPowerBit(channel, true);
    ops::WriteRange(static_cast<int16_t>(channel), static_cast<int16_t>(range));
}

// A static error of EVLINK_SIM (the test's environment gives them).
double SimOption(const std::string& key)
{
    const std::string sim = std::getenv("EVLINK_SIM") ? std::getenv("EVLINK_SIM") : "";
    const size_t at = sim.find(key + "=");
    return at == std::string::npos ? 0 : std::atof(sim.c_str() + at + key.size() + 1);
}

// The simulated board's output at `code`: the ideal line, the offset and the bow.
double Model(const analysis::Conditions& c, int code)
{
    const int position = c.position(code);
    const double t = static_cast<double>(position) / (c.codes() - 1);
    return c.ideal(position) + SimOption("offset-mv") * 1e-3 + SimOption("inl-lsb") * c.lsb() * 4 * t * (1 - t);
}

// Runs the event loop until the session's run ends (at most 60 s).
void WaitForEnd()
{
    QEventLoop loop;
    QObject::connect(&Session::Instance(), &Session::Ended, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (Session::Instance().Busy())
        loop.exec();
}

Results ReadBack(const std::string& path)
{
    Results r;
    analysis::ReadError error;
    EXPECT_TRUE(ReadResultsFile(path, r, error)) << error.Text();
    return r;
}

Plan MeterPlan(const testmeter::SimMeterProcess& sim)
{
    Plan p;
    p.meter = sim.address();
    p.codes = CodeSet::MajorCarries;
    p.randomCodes = 20;
    p.readings = 2;
    p.settleMs = 0;
    p.timeoutMs = 500;
    return p;
}

TEST(CharacteriseSession, MeasuresTheTrueTransferOnEveryRange)
{
    testmeter::SimMeterProcess sim({});
    ASSERT_TRUE(sim.ok());
    for (const int range : {4, 5, 0, 2}) {  // +-10V, +-10.8V, +5V, +10.8V
        BoardReady(0, range);
        Session::Instance().Reset();
        Plan plan = MeterPlan(sim);
        plan.readings = 4;
        std::string why;
        ASSERT_TRUE(Session::Instance().Connect(plan, why)) << why;
        ASSERT_TRUE(Session::Instance().EstimateSeconds(plan));
        EXPECT_DOUBLE_EQ(Session::Instance().Prepared().meterRangeVolts, 10);  // 10.8 V fits the 10 V range
        const std::string path = Scratch("session-" + std::to_string(range) + ".txt");
        ASSERT_TRUE(Session::Instance().Start(plan, path, owner::Side::Local, why)) << why;
        WaitForEnd();
        const characterise::Run* run = Session::Instance().CurrentRun();
        EXPECT_EQ(run->state(), RunState::Done) << run->message();
        const Results r = ReadBack(path);
        EXPECT_EQ(r.end, "done");
        EXPECT_EQ(r.header.meterIdentity.rfind("QV4816X,QV-SIMDMM,", 0), 0u);
        EXPECT_EQ(r.header.conditions.range, range);
        EXPECT_EQ(r.header.board.rfind("SIMULATED,", 0), 0u) << r.header.board;
        ASSERT_EQ(r.codes.size(), r.header.codesPlanned);
        for (const auto& c : r.codes)
            ASSERT_NEAR(c.Mean(), Model(r.header.conditions, c.code), 0.1 * r.header.conditions.lsb())
                << "range " << range << " code " << c.code;
        // The figures on the codes measured: the bow and the offset come back
        // within 0.1 LSB; on +-10V and +-10.8V (where one count of the meter
        // is a thirtieth of an LSB) each is stated that closely too.
        analysis::ChannelAnalysis a;
        analysis::AnalyseResults(r, r.header.conditions, a, analysis::ResultsNote(r));
        const auto& f = a.figures;
        const double lsbMv = r.header.conditions.lsb() * 1000;
        EXPECT_NEAR(f.inlEndpointMaxLsb.value, SimOption("inl-lsb"), 0.1) << "range " << range;
        const bool fine = range == 4 || range == 5;
        EXPECT_TRUE(!fine || f.inlEndpointMaxLsb.uncertainty < 0.1) << "range " << range;
        EXPECT_NEAR(f.zeroScaleErrorMv.value, SimOption("offset-mv"), 0.1 * lsbMv) << "range " << range;
        EXPECT_NEAR(f.fullScaleErrorMv.value, SimOption("offset-mv"), 0.1 * lsbMv) << "range " << range;
        EXPECT_NEAR(f.gainErrorPercent.value, 0, 0.1 * 100.0 / 65536) << "range " << range;
        EXPECT_NEAR(f.dnlMaxLsb.value, 0, 0.1) << "range " << range;
        EXPECT_TRUE(!fine || f.dnlMaxLsb.uncertainty < 0.1) << f.dnlMaxLsb.uncertainty << " on range " << range;
        EXPECT_EQ(a.notes.front(), analysis::ResultsNote(r));
    }
}

// With dnl-lsb=0.5 (another run of this program): the step at the major
// carry, measured on both sides, is the DNL; elsewhere it is 0.
TEST(CharacteriseSessionDnl, TheStepAtTheMajorCarryIsTheDnl)
{
    testmeter::SimMeterProcess sim({});
    ASSERT_TRUE(sim.ok());
    BoardReady(0, 4);
    const std::string path = Scratch("session-dnl.txt");
    std::string why;
    ASSERT_TRUE(Session::Instance().Start(MeterPlan(sim), path, owner::Side::Local, why)) << why;
    WaitForEnd();
    const Results r = ReadBack(path);
    analysis::ChannelAnalysis a;
    analysis::AnalyseResults(r, r.header.conditions, a, {});
    EXPECT_NEAR(a.figures.dnlMaxLsb.value, SimOption("dnl-lsb"), 0.1);
    EXPECT_NEAR(a.dnl[0x7FFF], SimOption("dnl-lsb"), 0.1);
    EXPECT_NEAR(a.figures.dnlMinLsb.value, 0, 0.1);
    EXPECT_TRUE(std::isnan(a.dnl[0x7000]));  // its neighbour was not measured
}

TEST(CharacteriseSession, TheBoardsAdcServesAsMeter)
{
    BoardReady(1, 4);
    Plan plan;
    plan.channel = 1;
    plan.codes = CodeSet::EveryNth;
    plan.every = 8192;
    plan.settleMs = 0;
    std::string why;
    const std::string path = Scratch("session-adc.txt");
    ASSERT_TRUE(Session::Instance().Start(plan, path, owner::Side::Local, why)) << why;
    WaitForEnd();
    const Results r = ReadBack(path);
    EXPECT_EQ(r.end, "done");
    EXPECT_EQ(r.header.meter, "adc");
    EXPECT_EQ(r.codes.size(), 9u);
    for (const auto& c : r.codes) {  // the output in whole ADC steps, clipped at its top
        const double step = std::clamp(std::floor((Model(r.header.conditions, c.code) + 10) / analysis::kAdcStepVolts + 0.5), 0.0, 8191.0);
        EXPECT_DOUBLE_EQ(c.Mean(), step * analysis::kAdcStepVolts - 10) << c.code;
    }
}

TEST(CharacteriseSession, AMeterThatFailsStopsTheRunAndKeepsTheFile)
{
    BoardReady(0, 4);
    const std::pair<const char*, const char*> rows[] = {
        {"--hang-after", "no answer within 0.5 s"},
        {"--garbage-after", "not a reading"},
        {"--disconnect-after", "the meter closed the connection"},
    };
    for (const auto& [option, message] : rows) {
        // One reading times the meter, then five codes of two readings are in.
        testmeter::SimMeterProcess sim({option, "11"});
        ASSERT_TRUE(sim.ok());
        const std::string path = Scratch(std::string("session-fault") + option + ".txt");
        std::string why;
        ASSERT_TRUE(Session::Instance().Start(MeterPlan(sim), path, owner::Side::Remote, why)) << why;
        WaitForEnd();
        const characterise::Run* run = Session::Instance().CurrentRun();
        EXPECT_EQ(run->state(), RunState::Failed);
        EXPECT_NE(run->message().find(message), std::string::npos) << run->message();
        EXPECT_NE(run->message().find(sim.address()), std::string::npos) << run->message();
        const Results r = ReadBack(path);
        EXPECT_EQ(r.codes.size(), 5u) << option;
        EXPECT_EQ(r.end, "failed: " + run->message());
        EXPECT_FALSE(Session::Instance().Connected());  // the next run connects afresh
    }
}

TEST(CharacteriseSession, PauseResumeStop)
{
    testmeter::SimMeterProcess sim({});
    BoardReady(0, 4);
    Session& s = Session::Instance();
    const std::string path = Scratch("session-pause.txt");
    std::string why;
    ASSERT_TRUE(s.Start(MeterPlan(sim), path, owner::Side::Remote, why)) << why;
    EXPECT_FALSE(s.Start(MeterPlan(sim), path, owner::Side::Remote, why));  // one run at a time
    EXPECT_EQ(why, "a characterisation run is under way");
    QEventLoop loop;
    const auto paused = QObject::connect(&s, &Session::Changed, [&] {
        if (s.CurrentRun()->done() == 3)
            s.Pause();
        if (s.CurrentRun()->state() == RunState::Paused)
            loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(paused);
    ASSERT_EQ(s.CurrentRun()->state(), RunState::Paused);
    EXPECT_EQ(s.CurrentRun()->done(), 3u);
    QTimer::singleShot(50, &loop, &QEventLoop::quit);  // nothing moves while paused
    loop.exec();
    EXPECT_EQ(ReadBack(path).codes.size(), 3u);
    // The run holds the board, paused or not: nothing else writes, not even the windows.
    EXPECT_THROW(ops::WriteDacCode(0, 5), owner::Refused);
    EXPECT_EQ(owner::Take(owner::Activity::Sweep, owner::Side::Local), "a characterisation run is under way");
    s.Resume();
    const auto stopper = QObject::connect(&s, &Session::Changed, [&] {
        if (s.CurrentRun()->done() == 6)
            s.Stop();
    });
    WaitForEnd();
    QObject::disconnect(stopper);
    EXPECT_EQ(s.CurrentRun()->state(), RunState::Stopped);
    const Results r = ReadBack(path);
    EXPECT_EQ(r.codes.size(), 6u);
    EXPECT_EQ(r.end, "stopped");
    EXPECT_EQ(owner::Current(), owner::Activity::None);

    // A sweep holds the board: no run starts, and nothing is written.
    ASSERT_EQ(owner::Take(owner::Activity::Sweep, owner::Side::Remote), "");
    EXPECT_FALSE(s.Start(MeterPlan(sim), Scratch("session-refused.txt"), owner::Side::Local, why));
    EXPECT_EQ(why, "the board is busy: a sweep is running");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Scratch("session-refused.txt"))));
    owner::Release();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
