// A characterisation run's own cost: a 4,096-code plan (one reading per
// code, no settling) against the simulated meter answering each reading
// after 1 ms, timed side by side with the same 4,096 readings taken from the
// meter alone. run_to_meter_alone is the run's time over the meter's own.
#include "board/boardlink.h"
#include "board/ops.h"
#include "board/primitives.h"
#include "characterise/session.h"
#include "harness.h"
#include "meter/meter.h"
#include "simmeterprocess.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kCodes = 4096;
using Seconds = std::chrono::duration<double>;

struct Pulse final : PulseLdacSetting {
    bool PulseLdacTicked() const override { return true; }
};

std::unique_ptr<testmeter::SimMeterProcess> simMeter;

std::string Scratch(const char* name) { return std::string(QV_BENCH_SCRATCH) + "/" + name; }

characterise::Plan Plan()
{
    characterise::Plan p;
    p.meter = simMeter->address();
    p.codes = characterise::CodeSet::List;
    for (int i = 0; i < kCodes; ++i)
        p.list.push_back(i * 16);
    p.settleMs = 0;
    p.readings = 1;
    return p;
}

double MeterAlone()
{
    std::string why;
    auto m = meter::Meter::Open(*meter::ParseAddress(simMeter->address(), why));
    m->Configure({});
    const auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < kCodes; ++i)
        benchmark::DoNotOptimize(m->Read());
    return Seconds(std::chrono::steady_clock::now() - begin).count();
}

double RunAlone()
{
    auto& session = characterise::Session::Instance();
    std::string why;
    const auto plan = Plan();
    if (!session.Connect(plan, why))
        throw std::runtime_error(why);
    QEventLoop loop;
    QObject::connect(&session, &characterise::Session::Ended, &loop, &QEventLoop::quit);
    const auto begin = std::chrono::steady_clock::now();
    if (!session.Start(plan, Scratch("bench-results.txt"), owner::Side::Local, why))
        throw std::runtime_error(why);
    loop.exec();
    const double seconds = Seconds(std::chrono::steady_clock::now() - begin).count();
    if (session.CurrentRun()->state() != characterise::RunState::Done || session.CurrentRun()->done() != kCodes)
        throw std::runtime_error("the run did not finish: " + session.CurrentRun()->message());
    return seconds;
}

void BM_Run4096CodesAgainstMeterAlone(benchmark::State& state)
{
    double run = 0, alone = 0;
    for (auto _ : state) {
        alone += MeterAlone();
        run += RunAlone();
    }
    state.counters["meter_alone_s"] = alone / static_cast<double>(state.iterations());
    state.counters["run_s"] = run / static_cast<double>(state.iterations());
    state.counters["run_to_meter_alone"] = run / alone;
}

}  // namespace

BENCHMARK(BM_Run4096CodesAgainstMeterAlone)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv)
{
    const std::string probe = Scratch("bench.probe");
    setenv("EVLINK_SIM", ("only,probe=" + probe).c_str(), 1);
    QCoreApplication app(argc, argv);
    harness::Setup(true, false);
    static Pulse pulse;
    AttachPanel(&pulse, nullptr);
    Board().ConnectStep();
    ops::StartUpTraffic();
    ops::SetPowerBit(0, true);
    ops::WriteRange(0, 4);
    simMeter = std::make_unique<testmeter::SimMeterProcess>(std::vector<std::string>{"--delay-us", "1000"});
    if (!simMeter->ok())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    simMeter.reset();
    return 0;
}
