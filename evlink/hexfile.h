#pragma once
// Intel HEX files: data records (type 00) and the end record (type 01) only.
// Every record's checksum is verified, the end record is required, and nothing
// after it is accepted except blank lines.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace evlink {

struct HexRecord {
    uint16_t address = 0;
    std::vector<uint8_t> data;
};

struct HexImage {
    std::vector<HexRecord> records;  // data records in file order
    bool ok = false;
    std::string error;  // when !ok: what is wrong and on which line
};

// Files larger than this are refused without being read whole.
constexpr std::size_t kMaxHexFileBytes = 4 * 1024 * 1024;

HexImage ParseHex(std::string_view text);
HexImage ReadHexFile(const std::string& path);

// The text that marks our own firmware file for the simulated board. A real
// board must never be loaded with that file.
constexpr std::string_view kSimulatedFirmwareMark = "EVLINK SIMULATED BOARD FIRMWARE";

// True when the image is well formed and its bytes, laid out by address,
// contain kSimulatedFirmwareMark.
bool IsSimulatedBoardFirmware(const HexImage& image);

}  // namespace evlink
