// (1) A full sweep of 65,536 steps on the simulated board with its per-step
// repaint; (2) the same with 100 us per vendor request, in processes of their
// own (the board reads its options once), beside the link alone; (3) saving a
// full sweep's file. The board link is timed at every request, so that a
// sweep's time splits into the link's (inside the calls into the interface
// library) and the program's own (everything else).
#include "board/adc.h"
#include "board/boardlink.h"
#include "board/primitives.h"
#include "board/connection.h"
#include "runtime/msgbox.h"
#include "runtime/programend.h"
#include "testwindow/testform.h"
#include "testwindow/writefileform.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace {

constexpr int kSteps = 65536;
constexpr long kSweepRequests = 12L * kSteps;
constexpr double kLatencySeconds = 100e-6;
constexpr long kLinkAloneRequests = 100000;

using Clock = std::chrono::steady_clock;

// The board link of the second version, with the time spent in its requests
// added up.
class TimedLink final : public BoardLink {
public:
    explicit TimedLink(std::unique_ptr<BoardLink> link) : link_(std::move(link)) {}
    void ConnectStep() override { link_->ConnectStep(); }
    int16_t VendorRequest(uint8_t code, int32_t value, int32_t index, uint8_t direction, uint16_t length,
                          uint8_t* buffer) override
    {
        const auto start = Clock::now();
        const int16_t status = link_->VendorRequest(code, value, index, direction, length, buffer);
        inside += Clock::now() - start;
        ++requests;
        return status;
    }
    bool ClearsVerdictBeforeTest() const override { return link_->ClearsVerdictBeforeTest(); }

    Clock::duration inside{};
    long requests = 0;

private:
    std::unique_ptr<BoardLink> link_;
};

TimedLink* timedLink = nullptr;

const Edition& TimedEdition()
{
    static const Edition e{SecondEdition().title, SecondEdition().major, SecondEdition().minor,
                           SecondEdition().revision, [] {
                               auto link = std::make_unique<TimedLink>(SecondEdition().makeLink());
                               timedLink = link.get();
                               return std::unique_ptr<BoardLink>(std::move(link));
                           }};
    return e;
}

struct PulseTicked : PulseLdacSetting {
    bool PulseLdacTicked() const override { return true; }
} pulse;

void connectToSimulatedBoard()
{
    SetProgramDirectory(QV_BUILD_DIR);
    SetMsgBoxHandler([](const MsgBoxRequest& r) {
        return r.buttons == MsgButtons::RetryCancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
    });
    SetEndHandler([] {});
    UseEdition(TimedEdition());
    SetStartValues();
    AttachPanel(&pulse, nullptr);
    Board().ConnectStep();
}

// Wall time of a run of requests, and the part of it spent in the link.
struct Split {
    double seconds = 0;
    double inLink = 0;
    long requests = 0;
    Split& operator+=(const Split& o)
    {
        seconds += o.seconds;
        inLink += o.inLink;
        requests += o.requests;
        return *this;
    }
    double linkUsPerRequest() const { return requests > 0 ? inLink / static_cast<double>(requests) * 1e6 : 0; }
    double secondsPerRequest() const { return requests > 0 ? seconds / static_cast<double>(requests) : 0; }
};

template <class Work>
Split timed(Work work)
{
    timedLink->inside = {};
    timedLink->requests = 0;
    const auto start = Clock::now();
    work();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return {seconds, std::chrono::duration<double>(timedLink->inside).count(), timedLink->requests};
}

Split timedSweep()
{
    TestForm& form = TestForm::Open();
    return timed([&] { form.Command1_Click(); });
}

// The link on its own: as many ADC transfers, back to back, and nothing else.
Split timedLinkAlone(long requests)
{
    return timed([&] {
        int32_t command = 0;
        for (long i = 0; i < requests; ++i)
            ReadAdc(command);
    });
}

// The sweep against the link alone: their ratio, the program's own time per
// step (what is not spent in the link), and the link's time per request in
// each, which shows how the simulated link kept its pace.
void report(benchmark::State& state, const Split& sweep, const Split& alone)
{
    state.counters["sweep_s"] = sweep.seconds;
    state.counters["sweep_to_link_alone"] =
        sweep.seconds / (static_cast<double>(sweep.requests) * alone.secondsPerRequest());
    state.counters["program_us_per_step"] = (sweep.seconds - sweep.inLink) / kSteps * 1e6;
    state.counters["sweep_link_us_per_request"] = sweep.linkUsPerRequest();
    state.counters["alone_link_us_per_request"] = alone.linkUsPerRequest();
}

void BM_FullSweep(benchmark::State& state)
{
    Split sweep;
    for (auto _ : state)
        sweep += timedSweep();
    if (sweep.requests != kSweepRequests * static_cast<long>(state.iterations()))
        state.SkipWithError("the sweep did not make all its requests");
    // Half the link alone before the sweeps' figures are taken, half after.
    Split alone = timedLinkAlone(kLinkAloneRequests / 2);
    alone += timedLinkAlone(kLinkAloneRequests / 2);
    const double n = static_cast<double>(state.iterations());
    const Split perSweep{sweep.seconds / n, sweep.inLink / n, kSweepRequests};
    report(state, perSweep, alone);
    state.counters["us_per_step"] = perSweep.seconds / kSteps * 1e6;
}
BENCHMARK(BM_FullSweep)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();

// Runs this program again with 100 us per request and returns what it prints:
// seconds, seconds in the link, requests.
std::optional<Split> splitInChild(const QStringList& args)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("EVLINK_SIM", "only,latency-us=100");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), args);
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        return std::nullopt;
    const QStringList fields = QString::fromUtf8(child.readAllStandardOutput()).split(' ', Qt::SkipEmptyParts);
    if (fields.size() != 3)
        return std::nullopt;
    return Split{fields[0].toDouble(), fields[1].toDouble(), fields[2].toLong()};
}

void BM_FullSweepAtLinkPace(benchmark::State& state)
{
    const QStringList half{"--requests", QString::number(kLinkAloneRequests / 2)};
    std::optional<Split> sweep, before, after;
    for (auto _ : state) {
        // The link alone, half before and half after the sweep, so that a
        // change in this machine's load weighs on both alike.
        before = splitInChild(half);
        sweep = splitInChild({"--sweep-once"});
        after = splitInChild(half);
    }
    if (!sweep || !before || !after || sweep->requests != kSweepRequests) {
        state.SkipWithError("the child process failed");
        return;
    }
    Split alone = *before;
    alone += *after;
    report(state, *sweep, alone);
    const double pace = static_cast<double>(kSweepRequests) * kLatencySeconds;
    state.counters["ratio_to_link_pace"] = sweep->seconds / pace;
    state.counters["link_alone_ratio"] = alone.secondsPerRequest() / kLatencySeconds;
}
BENCHMARK(BM_FullSweepAtLinkPace)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_SaveFullSweep(benchmark::State& state)
{
    State.SampleCount = kSteps;
    for (auto* v : {&State.SweepVoltsA, &State.SweepVoltsB, &State.SweepVoltsC, &State.SweepVoltsD})
        v->assign(kSteps + 1, 0.0f);
    for (int i = 0; i < kSteps; ++i) {
        State.SweepVoltsA[i] = AdcCodeToVolts(i / 8);
        State.SweepVoltsB[i] = AdcCodeToVolts(8191 - i / 8);
        State.SweepVoltsC[i] = AdcCodeToVolts((i * 13) % 8192);
        State.SweepVoltsD[i] = AdcCodeToVolts(4096 + (i % 3));
    }
    QTemporaryDir dir;
    WriteFileForm& form = WriteFileForm::Open();
    form.FileName->setText(dir.filePath("Default.dat"));
    for (auto _ : state) {
        form.Command1_Click();
        if (form.WriteFailed != 0)
            state.SkipWithError("the save failed");
    }
    state.counters["file_bytes"] = static_cast<double>(QFileInfo(dir.filePath("Default.dat")).size());
}
BENCHMARK(BM_SaveFullSweep)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("EVLINK_SIM", "only", 0);
    QApplication app(argc, argv);
    connectToSimulatedBoard();

    if (argc > 2 && std::strcmp(argv[1], "--requests") == 0) {
        // The link alone: the same number of ADC transfers, nothing else.
        const Split s = timedLinkAlone(std::atol(argv[2]));
        std::printf("%.6f %.6f %ld\n", s.seconds, s.inLink, s.requests);
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--sweep-once") == 0) {
        const Split s = timedSweep();
        std::printf("%.6f %.6f %ld\n", s.seconds, s.inLink, s.requests);
        return ProgramHasEnded() ? 1 : 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
