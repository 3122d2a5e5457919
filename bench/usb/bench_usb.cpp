// 10,000 vendor requests through the USB driver, against the microcontroller
// umockdev emulates, and through the simulated board; the time per
// iteration is the time per request.
#include "fakeboard.h"
#include "options.h"
#include "sim/simboard.h"
#include "usbdriver.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int kRequests = 10'000;
constexpr const char* kPreload = "libumockdev-preload.so.0";

std::unique_ptr<evlink::Board> g_usb;
std::unique_ptr<evlink::Board> g_sim;

// Frame write (request 221, nothing read) or register read-back (3 bytes).
void Requests(benchmark::State& state, evlink::Board* board) {
    if (!board) {
        state.SkipWithError("board not available");
        return;
    }
    const bool read = state.range(0) != 0;
    uint8_t buffer[4] = {};
    for (auto _ : state) {
        evlink::Status s = read ? board->vendorRequest(221, 0x0018, 0x0000, 1, 3, buffer)
                                : board->vendorRequest(221, 0x0001, 0x8000, 0, 0, buffer);
        if (!s.ok()) {
            state.SkipWithError(s.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(state.iterations());
}

void UsbRequests(benchmark::State& state) { Requests(state, g_usb.get()); }
void SimRequests(benchmark::State& state) { Requests(state, g_sim.get()); }

// Wall-clock time: a USB request mostly waits.
BENCHMARK(UsbRequests)->ArgName("read")->Arg(0)->Arg(1)->Iterations(kRequests)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(SimRequests)->ArgName("read")->Arg(0)->Arg(1)->Iterations(kRequests)->UseRealTime()->Unit(benchmark::kMicrosecond);

// umockdev works only when its library is preloaded: start again with it.
void EnsurePreloaded(char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload && std::strstr(preload, "libumockdev-preload")) return;
    std::string value = kPreload;
    if (preload && *preload) value += std::string(":") + preload;
    setenv("LD_PRELOAD", value.c_str(), 1);
    // A sanitizer build would otherwise refuse to start with umockdev first.
    const char* asan = std::getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
    execv("/proc/self/exe", argv);
    std::fprintf(stderr, "cannot restart under umockdev; the USB benchmark is skipped\n");
}

}  // namespace

int main(int argc, char** argv) {
    EnsurePreloaded(argv);
    UMockdevTestbed* bed = umockdev_testbed_new();
    std::unique_ptr<fake::Board> fake;
    std::string why;
    if (fake::MockEnvironment()) {
        fake::BoardSetup setup;
        setup.vid = 0x5E7A;
        setup.pidBare = 0x0816;
        setup.pidLoaded = 0x4816;
        setup.firmwareRunning = true;
        fake = std::make_unique<fake::Board>(bed, setup);
        fake->setReply({0x1A, 0x01, 0x03});
        if (evlink::UsbDriver().scan() == 1) g_usb = evlink::UsbDriver().open(0, why);
    }
    if (!g_usb) std::fprintf(stderr, "no emulated USB board: %s\n", why.c_str());

    evlink::sim::SimDriver sim{evlink::Options{}};
    if (sim.scan() == 1) g_sim = sim.open(0, why);
    if (g_sim && !g_sim->loadFirmware(EVLINK_SIM_FIRMWARE, why)) g_sim.reset();
    if (!g_sim) std::fprintf(stderr, "no simulated board: %s\n", why.c_str());

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_usb.reset();
    g_sim.reset();
    fake.reset();
    g_object_unref(bed);
    return 0;
}
