// The run engine on stand-ins for the board and the meter: codes in order,
// settling, averaging, pause and stop between codes, a meter that fails or
// hangs mid-run, a results file that cannot be written; the time left.
#include "characterise/run.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace characterise;

namespace {

std::string Scratch(const std::string& name) { return std::string(QV_TEST_SCRATCH) + "/" + name; }

struct Sink : CodeSink {
    std::vector<int> written;
    void WriteCode(int channel, int code) override
    {
        EXPECT_EQ(channel, 3);
        written.push_back(code);
    }
};

// Reads code / 1000 plus a small pattern; fails at a given reading; or
// hangs (its descriptor never turns readable).
struct Source : ReadingSource {
    const Sink& sink;
    int fd[2] = {-1, -1};
    int taken = 0;
    int failAt = -1;
    bool hang = false;
    explicit Source(const Sink& s) : sink(s) { EXPECT_EQ(::pipe(fd), 0); }
    ~Source() override
    {
        ::close(fd[0]);
        ::close(fd[1]);
    }
    void Start() override
    {
        if (!hang) {
            EXPECT_EQ(::write(fd[1], "x", 1), 1);
        }
    }
    int WatchFd() const override { return fd[0]; }
    bool Ready() override { return !hang; }
    double Finish() override
    {
        char c;
        EXPECT_EQ(::read(fd[0], &c, 1), 1);
        if (taken == failAt)
            throw std::runtime_error("meter: garbage");
        return sink.written.back() / 1000.0 + (taken++ % 2 ? 1e-3 : -1e-3);
    }
    std::chrono::milliseconds Timeout() const override { return std::chrono::milliseconds(50); }
    std::string Name() const override { return "the stand-in"; }
};

struct Rig {
    Sink sink;
    Source source{sink};
    ResultsWriter writer;
    ResultsHeader header;
    Plan plan;
    std::unique_ptr<Run> run;
    explicit Rig(std::vector<int> codes, int readings = 2, int settleMs = 0)
    {
        plan.channel = header.channel = 3;
        plan.readings = header.readingsPerCode = readings;
        plan.settleMs = settleMs;
        header.conditions.resolution = 12;
        header.meterRangeVolts = 10;
        std::string why;
        EXPECT_TRUE(writer.Open(Scratch("run.txt"), header, why)) << why;
        run = std::make_unique<Run>(plan, std::move(codes), sink, source, writer);
    }
    Results Read()
    {
        Results r;
        analysis::ReadError error;
        EXPECT_TRUE(ReadResultsFile(Scratch("run.txt"), r, error)) << error.Text();
        return r;
    }
};

TEST(CharacteriseRun, CodesReadingsAndTheFile)
{
    Rig rig({7, 3, 4000}, 4, 2);
    EXPECT_FALSE(rig.run->SecondsLeft());
    rig.run->SetEstimatePerCode(0.5);
    EXPECT_DOUBLE_EQ(*rig.run->SecondsLeft(), 1.5);
    size_t calls = 0;
    rig.run->onCode = [&](const CodeResult& r) {
        ++calls;
        EXPECT_EQ(r.readings.size(), 4u);
        EXPECT_NEAR(r.Mean(), r.code / 1000.0, 1e-12);  // the pattern averages out
        EXPECT_GT(r.Deviation(), 0);
    };
    const auto begin = Clock::now();
    EXPECT_EQ(RunToEnd(*rig.run), RunState::Done);
    EXPECT_GE(Clock::now() - begin, std::chrono::milliseconds(6));  // each code settled
    EXPECT_EQ(calls, 3u);
    EXPECT_EQ(rig.sink.written, (std::vector<int>{7, 3, 4000}));
    EXPECT_EQ(*rig.run->SecondsLeft(), 0);
    const Results r = rig.Read();
    EXPECT_EQ(r.end, "done");
    ASSERT_EQ(r.codes.size(), 3u);
    EXPECT_EQ(r.codes[2].code, 4000);
    EXPECT_LE(r.codes[0].seconds, r.codes[1].seconds);
}

TEST(CharacteriseRun, PauseAndStopBetweenCodes)
{
    Rig rig({1, 2, 3, 4, 5});
    rig.run->onCode = [&](const CodeResult& r) {
        if (r.code == 2)
            rig.run->Pause();
    };
    EXPECT_EQ(RunToEnd(*rig.run), RunState::Paused);
    EXPECT_EQ(rig.run->done(), 2u);
    EXPECT_EQ(rig.run->Advance().kind, Wait::Kind::Idle);  // nothing happens while paused
    EXPECT_EQ(rig.sink.written.size(), 2u);
    ASSERT_TRUE(rig.run->SecondsLeft());
    rig.run->Resume();
    rig.run->onCode = [&](const CodeResult& r) {
        if (r.code == 4)
            rig.run->Stop();
    };
    EXPECT_EQ(RunToEnd(*rig.run), RunState::Stopped);
    EXPECT_EQ(rig.run->message(), "stopped after 4 of 5 codes");
    const Results r = rig.Read();
    EXPECT_EQ(r.end, "stopped");
    EXPECT_EQ(r.codes.size(), 4u);
}

TEST(CharacteriseRun, FailuresStopTheRunAndKeepTheFile)
{
    {
        // A meter that answers garbage at the fifth reading: two codes are in.
        Rig rig({10, 20, 30, 40});
        rig.source.failAt = 4;
        EXPECT_EQ(RunToEnd(*rig.run), RunState::Failed);
        EXPECT_EQ(rig.run->message(), "meter: garbage");
        const Results r = rig.Read();
        EXPECT_EQ(r.end, "failed: meter: garbage");
        EXPECT_EQ(r.codes.size(), 2u);
    }
    {
        // A meter that does not answer: the run waits its timeout, no longer.
        Rig rig({10, 20});
        rig.source.hang = true;
        EXPECT_EQ(RunToEnd(*rig.run), RunState::Failed);
        EXPECT_EQ(rig.run->message(), "the stand-in: no answer within 0.05 s");
        EXPECT_EQ(rig.Read().codes.size(), 0u);
    }
    {
        // A results file that can no longer be written.
        Rig rig({10, 20});
        std::string why;
        rig.writer.Finish("done", why);
        EXPECT_EQ(RunToEnd(*rig.run), RunState::Failed);
        EXPECT_EQ(rig.run->message(), "the results file: no results file is open");
    }
}

TEST(CharacteriseRun, Estimates)
{
    Plan p;
    p.settleMs = 10;
    p.readings = 3;
    EXPECT_DOUBLE_EQ(EstimateSeconds(p, 100, 0.02), 100 * (0.01 + 3 * 0.02));
    Sink sink;
    sink.written = {500};
    Source source(sink);
    EXPECT_GE(TimeOneReading(source), 0);
    source.hang = true;
    EXPECT_THROW(TimeOneReading(source), std::runtime_error);
}

}  // namespace
