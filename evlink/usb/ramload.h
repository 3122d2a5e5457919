#pragma once
// The firmware image as the microcontroller takes it: RAM-load vendor
// requests of at most 1 KiB, each into its on-chip program/data RAM, while
// its CPU is held in reset through the CPU control/status register.
#include "hexfile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace evlink::usb {

// The RAM-load request: wValue = address, data = the bytes (to the device).
inline constexpr uint8_t kRamLoadRequest = 0xA0;
// CPU control/status register, written with the RAM-load request: bit 0 set
// holds the CPU in reset, cleared lets it run.
inline constexpr uint16_t kCpuControlAddress = 0xE600;
inline constexpr uint8_t kCpuHold = 0x01;
inline constexpr uint8_t kCpuRun = 0x00;
// The on-chip RAM that firmware is loaded into: [begin, end).
inline constexpr uint32_t kRamBegin = 0x0000;
inline constexpr uint32_t kRamEnd = 0x4000;
inline constexpr std::size_t kMaxChunkBytes = 1024;

struct RamChunk {
    uint16_t address = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const RamChunk&) const = default;
};

struct RamLoad {
    std::vector<RamChunk> chunks;  // in address order
    bool ok = false;
    std::string error;  // when !ok
};

// Lays a parsed image out as RAM-load chunks. Records that overlap keep the
// bytes of the later record, as the file would leave them in RAM when written
// record by record. Fails for an empty image and for data outside the RAM.
RamLoad PlanRamLoad(const HexImage& image);

}  // namespace evlink::usb
