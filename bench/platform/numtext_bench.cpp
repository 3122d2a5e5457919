// Number texts: a whole sweep file's worth of lines (65,536 lines of five
// numbers), the volts display text, and reading a code field.
#include "platform/numtext.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

float AdcVolts(int code) { return static_cast<float>(code) * 20.0f / 8192.0f - 10.0f; }

void BM_SweepFileLines(benchmark::State& state)
{
    std::string file;
    file.reserve(65536 * 56);
    for (auto _ : state) {
        file.clear();
        for (int i = 0; i < 65536; ++i) {
            file += SingleText(static_cast<float>(i));
            for (int channel = 0; channel < 4; ++channel) {
                file += ',';
                file += SingleText(AdcVolts((i + channel * 1024) & 0x1FFF));
            }
            file += "\r\n";
        }
        benchmark::DoNotOptimize(file.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_SweepFileLines)->Unit(benchmark::kMillisecond);

void BM_FormatVolts4(benchmark::State& state)
{
    int code = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatVolts4(AdcVolts(code)));
        code = (code + 1) & 0x1FFF;
    }
}
BENCHMARK(BM_FormatVolts4);

void BM_ReadCodeFields(benchmark::State& state)
{
    const char* texts[] = {"FFFF", "c000", "8000", "0", " 65535", "12.5", "-7", "1e3"};
    for (auto _ : state) {
        for (const char* t : texts) {
            benchmark::DoNotOptimize(HexToLong(t));
            benchmark::DoNotOptimize(RoundToLong(Val(t)));
        }
    }
}
BENCHMARK(BM_ReadCodeFields);

}  // namespace

BENCHMARK_MAIN();
