// Number texts: the volts display text and reading a code field.
#include "runtime/numtext.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

float AdcVolts(int code) { return static_cast<float>(code) * 20.0f / 8192.0f - 10.0f; }

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
