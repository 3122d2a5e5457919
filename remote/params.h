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
std::optional<double> Number(Instrument::Ctx& ctx, size_t i);  // (-104)
// A whole number in [low, high]; fractions rounded, halves to even (-222).
std::optional<int32_t> Integer(Instrument::Ctx& ctx, size_t i, double low, double high);
// ON, OFF or a number, nonzero being ON (-224).
std::optional<bool> Boolean(Instrument::Ctx& ctx, size_t i);
std::string Num(long long v);
// Node `node` of the command's header is `name` ("CLAMp").
bool Is(const scpi::Command& c, size_t node, std::string_view name);
}  // namespace params
