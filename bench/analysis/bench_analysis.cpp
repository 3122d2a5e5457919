// Targets: the figures of a full four-channel sweep <= 20 ms; reading a
// 65,536-line data file <= 100 ms; the analysis window's first paint with
// four channels of 65,536 points <= 300 ms (offscreen).
#include "analysis/datafile.h"
#include "analysis/figures.h"
#include "analysis/window/analysiswindow.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>

using namespace analysis;

namespace {

// A ±10V sweep through the board's 13-bit ADC, slightly bowed, on all four channels.
SweepData fullSweep()
{
    SweepData data;
    for (size_t ch = 0; ch < kChannels; ++ch) {
        auto& v = data.volts[ch];
        v.resize(kSweepSteps);
        for (size_t i = 0; i < v.size(); ++i) {
            const double t = static_cast<double>(i) / 65535;
            const double volts = -10 + 20 * t + 0.004 * t * (1 - t) * static_cast<double>(ch + 1);
            v[i] = static_cast<float>(std::min(8191.0, std::floor((volts + 10) * 409.6 + 0.5)) / 409.6 - 10);
        }
    }
    data.lines = kSweepSteps;
    return data;
}

void BM_FiguresOfAFullSweep(benchmark::State& state)
{
    const SweepData data = fullSweep();
    // As the window recomputes: into the arrays of the last computation.
    std::array<ChannelAnalysis, kChannels> analyses;
    for (auto _ : state)
        for (size_t ch = 0; ch < kChannels; ++ch) {
            Analyse(data.volts[ch], Conditions{4, Coding::Binary, 16}, analyses[ch]);
            benchmark::DoNotOptimize(analyses[ch].figures);
        }
}
BENCHMARK(BM_FiguresOfAFullSweep)->Unit(benchmark::kMillisecond)->UseRealTime();

float AdcVolts(int code) { return static_cast<float>(code) * 20.0f / 8192.0f - 10.0f; }

// A whole sweep file's worth of lines: 65,536 lines of five numbers.
void BM_SweepFileLines(benchmark::State& state)
{
    std::string file;
    file.reserve(65536 * 56);
    for (auto _ : state) {
        file.clear();
        for (int i = 0; i < 65536; ++i) {
            file += analysis::SingleText(static_cast<float>(i));
            for (int channel = 0; channel < 4; ++channel) {
                file += ',';
                file += analysis::SingleText(AdcVolts((i + channel * 1024) & 0x1FFF));
            }
            file += "\r\n";
        }
        benchmark::DoNotOptimize(file.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_SweepFileLines)->Unit(benchmark::kMillisecond);

void BM_ReadAFullFile(benchmark::State& state)
{
    const SweepData data = fullSweep();
    QTemporaryDir dir;
    const std::string path = dir.filePath("Default.dat").toStdString();
    std::ofstream(path, std::ios::binary) << DataFileText({data.volts[0], data.volts[1], data.volts[2], data.volts[3]});
    for (auto _ : state) {
        SweepData read;
        ReadError error;
        if (!ReadSweepFile(path, read, error))
            state.SkipWithError(error.Text().c_str());
        benchmark::DoNotOptimize(read);
    }
}
BENCHMARK(BM_ReadAFullFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WindowFirstPaint(benchmark::State& state)
{
    const SweepData data = fullSweep();
    for (auto _ : state) {
        AnalysisWindow window;
        window.ShowSweep(data, nullptr, "bench");
        window.show();
        benchmark::DoNotOptimize(window.grab());
        state.PauseTiming();
        window.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WindowFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
