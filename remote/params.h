#pragma once
// Reading a command's parameters for the handlers of the command tree: each
// getter pushes the standard error into the client's queue and gives nothing
// when the parameter will not do.
#include "instrument.h"

#include <optional>
#include <string>
#include <string_view>

namespace params {
// Between `least` and `most` parameters (-109, -108).
bool Count(Instrument::Ctx& ctx, size_t least, size_t most);
// A, B, C or D as 0..3, and ALL as 4 when allowed (-224).
std::optional<int> Channel(Instrument::Ctx& ctx, size_t i, bool allowAll = false);

// What MINimum, MAXimum and DEFault stand for where a number is asked.
struct Limits {
    double low;
    double high;
    std::optional<double> def;  // none: DEFault is refused (-224)
};
enum class Limit { None, Min, Max, Def };
// MIN, MINIMUM, MAX, MAXIMUM, DEF or DEFAULT; None for anything else.
Limit LimitOf(const scpi::Param& p);
// The value a limit stands for; nullopt (-224) for DEFault without one.
std::optional<double> LimitValue(Instrument::Ctx& ctx, Limit limit, const Limits& limits);
// A number (-104), in `unit` ('V', 'S') when it carries one (-131; a unit
// where none belongs: -138), or MINimum/MAXimum/DEFault when `limits` are given.
std::optional<double> Number(Instrument::Ctx& ctx, size_t i, char unit = 0, const Limits* limits = nullptr);
// A whole number in [low, high] or MINimum/MAXimum (DEFault when `def` is
// given); fractions rounded, halves to even (-222).
std::optional<int32_t> Integer(Instrument::Ctx& ctx, size_t i, double low, double high,
                               std::optional<double> def = std::nullopt);
// A query's optional MINimum/MAXimum/DEFault argument at `i`: Limit::None when
// there is none; nullopt (-224) when it is something else.
std::optional<Limit> AskedLimit(Instrument::Ctx& ctx, size_t i);
// ON, OFF or a number, nonzero being ON (-224).
std::optional<bool> Boolean(Instrument::Ctx& ctx, size_t i);
std::string Num(long long v);
// Node `node` of the command's header is `name` ("CLAMp").
bool Is(const scpi::Command& c, size_t node, std::string_view name);
}  // namespace params
