#pragma once
// The companion file written beside every saved data file (NAME.json beside
// NAME): what the sweep ran under, which the data file itself, whose format
// is fixed, cannot say. It names the data file's size and checksum, so that
// a companion left beside another file is told apart.
#include "ranges.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace analysis {

struct BoardIdentity {
    bool simulated = false;
    std::string text;  // the simulated board's options, or the real board's identity
};

// What a sweep ran under; anything not known stays empty.
struct RecordedSweep {
    std::array<std::optional<int>, kChannels> ranges{};
    std::optional<Coding> coding;
    std::optional<int> resolution;
    std::string part;             // "QV4812X"
    std::string started;          // UTC, "2026-12-06T10:15:00Z"
    std::string ended;
    std::optional<size_t> steps;  // steps done (65536 for a whole sweep)
    std::optional<BoardIdentity> board;
    std::string program;          // "QV4816X 1.1.6"
};

// "QV4816X", "QV4814X", "QV4812X"; empty for another resolution.
std::string PartName(int resolution);

// A time as the companion keeps it: "2026-12-06T10:15:00Z".
std::string UtcText(std::chrono::system_clock::time_point t);

// The data file's checksum: 64-bit FNV-1a of its bytes, in hex.
std::string DataChecksum(std::string_view bytes);

// "NAME.json" beside "NAME".
inline std::string CompanionPath(const std::string& dataPath) { return dataPath + ".json"; }

// The companion's text (JSON, ASCII only) for the data file `dataName`
// (the name only, no folder) holding `dataBytes`.
std::string CompanionText(const RecordedSweep& conditions, std::string_view dataName, std::string_view dataBytes);

// Reads a companion's text; false, with `why`, when it is not a companion,
// is malformed, or describes another data file than the one of
// `dataBytes`, `dataChecksum` (its size and DataChecksum).
bool ReadCompanionText(std::string_view text, size_t dataBytes, std::string_view dataChecksum,
                       RecordedSweep& conditions, std::string& why);

// Reads the companion of the data file at `dataPath` whose text had
// `dataBytes` and `dataChecksum`. Absent: no companion there. Refused: one
// is there but cannot be taken, `why` says why.
enum class CompanionRead { Absent, Read, Refused };
CompanionRead ReadCompanionFile(const std::string& dataPath, size_t dataBytes, std::string_view dataChecksum,
                                RecordedSweep& conditions, std::string& why);

}  // namespace analysis
