// (1) A full sweep of 65,536 steps on the simulated board with its per-step
// repaint; (2) the same with 100 us per vendor request, in a process of its
// own (the board reads its options once), against the pace of the link;
// (3) saving a full sweep's file.
#include "board/adc.h"
#include "board/boardlink.h"
#include "board/declare.h"
#include "board/usbstuff.h"
#include "platform/msgbox.h"
#include "platform/programend.h"
#include "tools/testform.h"
#include "tools/writefileform.h"

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

namespace {

constexpr int kSteps = 65536;
constexpr int kRequestsPerStep = 12;
constexpr double kLatencySeconds = 100e-6;

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
    UseEdition(SecondEdition());
    SetStartValues();
    AttachPanel(&pulse, nullptr);
    Board().ConnectStep();
}

double timedSweep()
{
    TestForm& form = TestForm::Open();
    const auto start = std::chrono::steady_clock::now();
    form.Command1_Click();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_FullSweep(benchmark::State& state)
{
    double total = 0;
    for (auto _ : state)
        total += timedSweep();
    const double seconds = total / static_cast<double>(state.iterations());
    state.counters["sweep_s"] = seconds;
    state.counters["us_per_step"] = seconds / kSteps * 1e6;
}
BENCHMARK(BM_FullSweep)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();

// Runs this program again with 100 us per request and returns the seconds it
// prints, or a negative value when it fails.
double secondsInChild(const QStringList& args)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("EVLINK_SIM", "only,latency-us=100");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), args);
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        return -1;
    return child.readAllStandardOutput().trimmed().toDouble();
}

void BM_FullSweepAtLinkPace(benchmark::State& state)
{
    constexpr long kReferenceRequests = 100000;
    double sweep = 0, reference = 0;
    for (auto _ : state) {
        sweep = secondsInChild({"--sweep-once"});
        // The link on its own, as a reference: how close this machine's
        // simulated link comes to its nominal pace without the program.
        reference = secondsInChild({"--requests", QString::number(kReferenceRequests)});
        if (sweep < 0 || reference < 0) {
            state.SkipWithError("the child process failed");
            return;
        }
    }
    const double pace = kSteps * kRequestsPerStep * kLatencySeconds;  // 786,432 x 100 us
    const double linkRatio = reference / (kReferenceRequests * kLatencySeconds);
    state.counters["sweep_s"] = sweep;
    state.counters["ratio_to_link_pace"] = sweep / pace;
    state.counters["link_alone_ratio"] = linkRatio;
    state.counters["program_share"] = sweep / pace / linkRatio;
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
        const long n = std::atol(argv[2]);
        const auto start = std::chrono::steady_clock::now();
        int32_t command = 0;
        for (long i = 0; i < n; ++i)
            ReadAdc(command);
        std::printf("%.6f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "--sweep-once") == 0) {
        std::printf("%.6f\n", timedSweep());
        return ProgramHasEnded() ? 1 : 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
