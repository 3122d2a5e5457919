// Cost of one vendor request on the simulated board, through the front in
// process and through the built EVLINK4 as the program loads it; and how
// closely `latency-us` keeps a long run of requests to the link's pace.
#include "front.h"
#include "options.h"
#include "sim/simboard.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace {

const std::string kFirmware = std::string(EVLINK_BENCH_BUILD_DIR) + "/QV4816.hex";

int32_t OpenBoard(evlink::Front& front)
{
    int32_t count = 0, handle = 0;
    uint8_t list[128] = {};
    front.Search(0x1234, 0x5678, &count, list);
    front.Connect(0x1234, 0x5678, list[0], &handle);
    front.Download(handle, reinterpret_cast<const uint8_t*>(kFirmware.c_str()));
    return handle;
}

// One frame write and one 3-byte read, alternating, as a read-back does.
void BM_FrontRequest(benchmark::State& state)
{
    evlink::sim::SimDriver sim(evlink::Options{});
    evlink::Front front({&sim}, nullptr);
    const int32_t h = OpenBoard(front);
    uint8_t buf[3] = {};
    for (auto _ : state) {
        front.Request(h, 221, 0x82, 0, 0, 0, buf);
        front.Request(h, 221, 0x18, 0, 1, 3, buf);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_FrontRequest);

void BM_LibraryRequest(benchmark::State& state)
{
    setenv("EVLINK_SIM", "only", 1);
    unsetenv("EVLINK_TRACE");
    void* lib = dlopen((std::string(EVLINK_BENCH_BUILD_DIR) + "/libEVLINK4.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib == nullptr) {
        state.SkipWithError("libEVLINK4.so not found");
        return;
    }
    using Search = int16_t (*)(uint16_t, uint16_t, int32_t*, uint8_t*);
    using Connect = int16_t (*)(uint16_t, uint16_t, uint8_t, int32_t*);
    using Download = int16_t (*)(int32_t, const uint8_t*);
    using Request = int16_t (*)(int32_t, uint8_t, int32_t, int32_t, uint8_t, uint16_t, uint8_t*);
    auto request = reinterpret_cast<Request>(dlsym(lib, "Vendor_Request"));
    int32_t count = 0, h = 0;
    uint8_t list[128] = {};
    reinterpret_cast<Search>(dlsym(lib, "Search_For_Boards"))(0x1234, 0x5678, &count, list);
    reinterpret_cast<Connect>(dlsym(lib, "Connect"))(0x1234, 0x5678, list[0], &h);
    reinterpret_cast<Download>(dlsym(lib, "Download_Firmware"))(h, reinterpret_cast<const uint8_t*>(kFirmware.c_str()));
    uint8_t buf[3] = {};
    for (auto _ : state) {
        request(h, 221, 0x82, 0, 0, 0, buf);
        request(h, 221, 0x18, 0, 1, 3, buf);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_LibraryRequest);

// Requests at latency-us=100: the counter `pace` is the run's time divided by
// requests × 100 µs (1.00 = exactly the link's pace).
void BM_LatencyPace(benchmark::State& state)
{
    evlink::sim::SimDriver sim(evlink::ParseOptions("latency-us=100"));
    evlink::Front front({&sim}, nullptr);
    const int32_t h = OpenBoard(front);
    uint8_t buf[2] = {};
    const int requests = static_cast<int>(state.range(0));
    double ratio = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < requests; ++i)
            front.Request(h, 218, 0x8020, 0, 1, 2, buf);
        const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - t0;
        ratio = took.count() / (requests * 100.0);
    }
    state.counters["pace"] = ratio;
}
BENCHMARK(BM_LatencyPace)->Arg(20000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
