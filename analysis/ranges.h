#pragma once
// The six output ranges, the two codings and the three resolutions, and the
// conditions a channel was swept under.
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace analysis {

constexpr int kChannels = 4;
constexpr int kSweepSteps = 65536;           // one sweep index per 16-bit code
// The on-board ADC: 13 bits over -10 V .. +10 V; code 0 reads -10 V, code
// 8191 reads 9.99756 V, and nothing beyond either.
constexpr double kAdcStepVolts = 20.0 / 8192;
constexpr double kAdcLowVolts = -10;
constexpr double kAdcHighVolts = -10 + 8191 * kAdcStepVolts;

struct Range {
    std::string_view name;  // as the range boxes show it, "±" in UTF-8
    double lo;
    double hi;
    bool bipolar;
    std::string_view mnemonic;  // as remote commands name it
};

// In range-code order: "+5V", "+10V", "+10.8V", "±5V", "±10V", "±10.8V".
const std::array<Range, 6>& Ranges();

// A range by its name; "+-" stands for "±".
std::optional<int> RangeFromText(std::string_view text);

enum class Coding { Binary, TwosComplement };
std::string_view CodingName(Coding coding);  // "binary" or "twos"
std::optional<Coding> CodingFromText(std::string_view text);

constexpr bool ValidResolution(int bits) { return bits == 16 || bits == 14 || bits == 12; }

// What one channel was swept under.
struct Conditions {
    int range = 0;  // index into Ranges()
    Coding coding = Coding::Binary;
    int resolution = 16;

    const Range& span() const { return Ranges()[static_cast<size_t>(range)]; }
    int codes() const { return 1 << resolution; }
    double lsb() const { return (span().hi - span().lo) / codes(); }
    // Two's complement applies to bipolar ranges only.
    bool reordered() const { return coding == Coding::TwosComplement && span().bipolar; }
    // The position of DAC code k on the transfer, and back.
    int position(int code) const { return reordered() ? (code + codes() / 2) % codes() : code; }
    int code(int position) const { return this->position(position); }  // the same swap both ways
    double ideal(double position) const { return span().lo + position * lsb(); }
};

// A range for every channel ("±10V") or for some ("A=±10V,B=+5V"); channels
// not named stay as they were. False, with `why`, for anything else.
bool ParseRangeList(std::string_view text, std::array<std::optional<int>, kChannels>& ranges, std::string& why);

// A range guessed from a sweep's readings (volts at sweep index 0, 1, ...),
// and a note that says it was guessed and from what.
struct RangeGuess {
    int range = 0;
    std::string note;
};

// Only ranges whose span holds every reading (with the ADC's step as margin)
// are candidates; of those, the one whose ideal transfer lies nearest the
// readings at the codes swept (readings at the ADC's limits left out, so that
// a clipped +-10.8V sweep is told from a +-10V one). No readings: "+5V".
// No range holds them: the widest, and the note says so.
RangeGuess GuessRange(std::span<const float> readings, Coding coding, int resolution);

}  // namespace analysis
