#include "params.h"

#include <cmath>

using scpi::Param;

namespace params {
// ---- parameters: each getter pushes its error and gives nullopt.
bool Count(Instrument::Ctx& ctx, size_t least, size_t most)
{
    const size_t n = ctx.command.params.size();
    if (n < least) {
        ctx.session.PushError(scpi::kMissingParameter);
        return false;
    }
    if (n > most) {
        ctx.session.PushError(scpi::kParameterNotAllowed);
        return false;
    }
    return true;
}

std::optional<int> Channel(Instrument::Ctx& ctx, size_t i, bool allowAll)
{
    const Param& p = ctx.command.params[i];
    if (p.kind == Param::Kind::Word && p.text.size() == 1 && p.text[0] >= 'A' && p.text[0] <= 'D')
        return p.text[0] - 'A';
    if (allowAll && p.kind == Param::Kind::Word && p.text == "ALL")
        return 4;
    ctx.session.PushError(scpi::kIllegalParameterValue, allowAll ? "channel A, B, C, D or ALL" : "channel A, B, C or D");
    return std::nullopt;
}

std::optional<double> Number(Instrument::Ctx& ctx, size_t i)
{
    const Param& p = ctx.command.params[i];
    if (p.kind != Param::Kind::Number) {
        ctx.session.PushError(scpi::kDataTypeError, "a number is needed");
        return std::nullopt;
    }
    return p.number;
}

// A whole number in [low, high]; decimal fractions are rounded, halves to even.
std::optional<int32_t> Integer(Instrument::Ctx& ctx, size_t i, double low, double high)
{
    const auto v = Number(ctx, i);
    if (!v)
        return std::nullopt;
    const double r = std::nearbyint(*v);
    if (!(r >= low && r <= high)) {
        ctx.session.PushError(scpi::kDataOutOfRange);
        return std::nullopt;
    }
    return static_cast<int32_t>(r);
}

std::optional<bool> Boolean(Instrument::Ctx& ctx, size_t i)
{
    const Param& p = ctx.command.params[i];
    if (p.kind == Param::Kind::Word && (p.text == "ON" || p.text == "OFF"))
        return p.text == "ON";
    if (p.kind == Param::Kind::Number)
        return std::nearbyint(p.number) != 0;
    ctx.session.PushError(scpi::kIllegalParameterValue, "ON, OFF, 1 or 0");
    return std::nullopt;
}

std::string Num(long long v) { return std::to_string(v); }

bool Is(const scpi::Command& c, size_t node, std::string_view name)
{
    return node < c.nodes.size() && scpi::Matches(c.nodes[node], name);
}

}  // namespace params
