#include "ramload.h"

#include <algorithm>
#include <cstdio>

namespace evlink::usb {
namespace {

std::string Hex4(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%04X", unsigned(v));
    return b;
}

// The runs of written bytes of a 64 KiB memory image, in address order.
struct Run {
    uint32_t begin;
    uint32_t end;
};

std::vector<Run> Runs(const std::vector<bool>& written) {
    std::vector<Run> runs;
    for (uint32_t a = 0; a < written.size();) {
        if (!written[a]) {
            ++a;
            continue;
        }
        uint32_t b = a;
        while (b < written.size() && written[b]) ++b;
        runs.push_back({a, b});
        a = b;
    }
    return runs;
}

}  // namespace

RamLoad PlanRamLoad(const HexImage& image) {
    RamLoad load;
    // Addresses run to 0xFFFF plus a record's length: past the 16-bit space
    // is outside the RAM anyway, so it only has to be caught, not stored.
    constexpr uint32_t kSpace = 0x10000 + 256;
    std::vector<uint8_t> memory(kSpace, 0);
    std::vector<bool> written(kSpace, false);
    for (const HexRecord& r : image.records) {
        for (std::size_t i = 0; i < r.data.size() && r.address + i < kSpace; ++i) {
            memory[r.address + i] = r.data[i];
            written[r.address + i] = true;
        }
    }
    const std::vector<Run> runs = Runs(written);
    if (runs.empty()) {
        load.error = "the firmware file holds no data";
        return load;
    }
    for (const Run& run : runs) {
        if (run.begin < kRamBegin || run.end > kRamEnd) {
            uint32_t bad = run.begin < kRamBegin ? run.begin : std::max(run.begin, kRamEnd);
            load.error = "data at " + Hex4(bad) + " lies outside the microcontroller's RAM (" + Hex4(kRamBegin) +
                         " to " + Hex4(kRamEnd - 1) + ")";
            return load;
        }
    }
    for (const Run& run : runs) {
        for (uint32_t a = run.begin; a < run.end; a += kMaxChunkBytes) {
            uint32_t e = std::min<uint32_t>(run.end, a + kMaxChunkBytes);
            load.chunks.push_back({uint16_t(a), {memory.begin() + a, memory.begin() + e}});
        }
    }
    load.ok = true;
    return load;
}

}  // namespace evlink::usb
