// Cost of the device primitives through the run-time binding on the simulated
// board, with no latency and no trace: the program's own share of a request.
#include "board/boardlink.h"
#include "board/primitives.h"
#include "harness.h"

#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {
void connect(bool second)
{
    static int connected = -1;
    if (connected == int(second))
        return;
    setenv("EVLINK_SIM", "only", 0);  // the simulated board, asked for by name
    harness::Setup(second, false);
    Board().ConnectStep();
    connected = second;
}

void BM_WriteFrame(benchmark::State& st)
{
    connect(st.range(0) != 0);
    int16_t a = 1, r = 0;
    int32_t d = 0x8000;
    for (auto _ : st)
        WriteFrame(a, r, d);
    st.counters["requests/s"] = benchmark::Counter(double(st.iterations()), benchmark::Counter::kIsRate);
}

void BM_ReadRegister(benchmark::State& st)
{
    connect(st.range(0) != 0);
    for (auto _ : st) {
        int16_t a = 2, r = 0;
        benchmark::DoNotOptimize(ReadRegister(a, r));
    }
    st.counters["requests/s"] = benchmark::Counter(2.0 * double(st.iterations()), benchmark::Counter::kIsRate);
}

void BM_ReadAdc(benchmark::State& st)
{
    connect(st.range(0) != 0);
    int32_t cmd = 0x8420;
    for (auto _ : st)
        benchmark::DoNotOptimize(ReadAdc(cmd));
    st.counters["requests/s"] = benchmark::Counter(double(st.iterations()), benchmark::Counter::kIsRate);
}
}  // namespace

// Argument: 1 = second generation (EVLINK4), 0 = first (EVLINK1).
BENCHMARK(BM_WriteFrame)->Arg(1)->Arg(0);
BENCHMARK(BM_ReadRegister)->Arg(1)->Arg(0);
BENCHMARK(BM_ReadAdc)->Arg(1)->Arg(0);
BENCHMARK_MAIN();
