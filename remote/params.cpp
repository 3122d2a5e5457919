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

Limit LimitOf(const Param& p)
{
    if (p.kind != Param::Kind::Word)
        return Limit::None;
    const std::string& t = p.text;
    if (t == "MIN" || t == "MINIMUM")
        return Limit::Min;
    if (t == "MAX" || t == "MAXIMUM")
        return Limit::Max;
    if (t == "DEF" || t == "DEFAULT")
        return Limit::Def;
    return Limit::None;
}

std::optional<double> LimitValue(Instrument::Ctx& ctx, Limit limit, const Limits& limits)
{
    switch (limit) {
    case Limit::Min: return limits.low;
    case Limit::Max: return limits.high;
    case Limit::Def:
        if (!limits.def)
            ctx.session.PushError(scpi::kIllegalParameterValue, "no DEFault here");
        return limits.def;
    case Limit::None: break;
    }
    return std::nullopt;
}

std::optional<double> Number(Instrument::Ctx& ctx, size_t i, char unit, const Limits* limits)
{
    const Param& p = ctx.command.params[i];
    if (limits && LimitOf(p) != Limit::None)
        return LimitValue(ctx, LimitOf(p), *limits);
    if (p.kind != Param::Kind::Number) {
        ctx.session.PushError(scpi::kDataTypeError, "a number is needed");
        return std::nullopt;
    }
    if (p.unit != 0 && unit == 0) {
        ctx.session.PushError(scpi::kSuffixNotAllowed);
        return std::nullopt;
    }
    if (p.unit != 0 && p.unit != unit) {
        ctx.session.PushError(scpi::kInvalidSuffix, unit == 'V' ? "volts: V, MV or UV" : "seconds: S or MS");
        return std::nullopt;
    }
    return p.number;
}

// A whole number in [low, high]; decimal fractions are rounded, halves to even.
std::optional<int32_t> Integer(Instrument::Ctx& ctx, size_t i, double low, double high, std::optional<double> def)
{
    const Limits limits{low, high, def};
    const auto v = Number(ctx, i, 0, &limits);
    if (!v)
        return std::nullopt;
    const double r = std::nearbyint(*v);
    if (!(r >= low && r <= high)) {
        ctx.session.PushError(scpi::kDataOutOfRange);
        return std::nullopt;
    }
    return static_cast<int32_t>(r);
}

std::optional<Limit> AskedLimit(Instrument::Ctx& ctx, size_t i)
{
    if (ctx.command.params.size() <= i)
        return Limit::None;
    const Limit limit = LimitOf(ctx.command.params[i]);
    if (limit == Limit::None) {
        ctx.session.PushError(scpi::kIllegalParameterValue, "MINimum, MAXimum or DEFault");
        return std::nullopt;
    }
    return limit;
}

std::optional<bool> Boolean(Instrument::Ctx& ctx, size_t i)
{
    const Param& p = ctx.command.params[i];
    if (p.kind == Param::Kind::Word && (p.text == "ON" || p.text == "OFF"))
        return p.text == "ON";
    if (p.kind == Param::Kind::Number && p.unit != 0) {
        ctx.session.PushError(scpi::kSuffixNotAllowed);
        return std::nullopt;
    }
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
