#pragma once
// What a characterisation run measures: the channel the meter is wired to,
// the codes, the settling time after each code and the readings per code;
// and how the meter is set up.
#include "analysis/results.h"
#include "meter/meter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace characterise {

enum class CodeSet {
    All,           // every code
    EveryNth,      // 0, N, 2N, ... and the last code
    MajorCarries,  // both sides of every carry into the top bits, and of each lower bit's first carry
    List,          // the codes of a list (a file)
};

struct Plan {
    int channel = 0;  // 0..3 = A..D
    CodeSet codes = CodeSet::MajorCarries;
    int every = 16;         // EveryNth: N
    int carryBits = 6;      // MajorCarries: every carry into the top this many bits
    int randomCodes = 0;    // added to All, EveryNth and MajorCarries: this many other codes, at random
    uint64_t seed = 1;      // of the random codes
    std::vector<int> list;  // List: the codes, as given
    int settleMs = 10;      // after writing each code, before its first reading
    int readings = 1;       // per code: their mean and standard deviation are kept

    // The meter: "adc" (the board's own ADC) or a bench meter's address.
    std::string meter = "adc";
    double nplc = 1;
    meter::AutoZero autoZero = meter::AutoZero::On;
    meter::SetupStyle setupStyle = meter::SetupStyle::Configure;
    double digits = 6.5;
    int timeoutMs = 5000;  // for each answer of the meter

    bool UsesAdc() const { return meter == "adc"; }
};

// Bounds of the plan's numbers.
constexpr int kMaxReadings = analysis::kMaxReadingsPerCode;
constexpr int kMaxSettleMs = 60'000;
constexpr int kMinTimeoutMs = 10;
constexpr int kMaxTimeoutMs = 600'000;

// The codes a plan measures at `resolution` bits, ascending, each once
// (List: as listed). Codes of a list beyond the resolution are left out.
std::vector<int> Codes(const Plan& plan, int resolution);

// The plan as one line of `key=value` items separated by ';', as the results
// file and the remote command CHARacterise:PLAN give it:
// "channel=A;codes=carries;carry-bits=6;random=0;seed=1;settle-ms=10;readings=1;
//  nplc=1;autozero=ON;setup=conf;digits=6.5;timeout-ms=5000" (the meter apart).
// A list gives "codes=list:N" (N codes); the codes themselves travel apart
// (read back, "list" or "list:N" chooses the list and leaves its codes alone).
std::string PlanText(const Plan& plan);
// Reads such a line into `plan`: only the items given change. Unknown items
// and bad values are refused with `why` (and `plan` is left as it was).
bool ParsePlanText(std::string_view text, Plan& plan, std::string& why);

// A list of codes: one per line, decimal or 0x hexadecimal, '#' to the end of
// a line is a comment, blank lines are skipped. Every code within 0 ..
// 2^resolution - 1 and listed once; at most 65,536 codes and 1 MiB. Errors name the line.
std::optional<std::vector<int>> ParseCodeList(std::string_view text, int resolution, std::string& why);
std::optional<std::vector<int>> ReadCodeListFile(const std::string& path, int resolution, std::string& why);

}  // namespace characterise
