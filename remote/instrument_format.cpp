// FORMat[:DATA] and FORMat:BORDer: how data queries answer, as ASCII numbers
// or as IEEE 488.2 definite-length blocks of binary floating point numbers.
#include "instrument.h"
#include "params.h"

#include <bit>
#include <charconv>
#include <cstring>

using Step = Instrument::Step;
using scpi::Param;
using namespace params;

namespace {
template <typename T>
void AppendBinary(std::string& out, T value, bool swapped)
{
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    // NORMal is the most significant byte first; SWAPped the least first.
    const bool reverse = (std::endian::native == std::endian::little) != swapped;
    if (reverse)
        for (size_t i = 0; i < sizeof(T) / 2; ++i)
            std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
    out.append(bytes, sizeof(T));
}
}  // namespace

std::string DataAnswer(const Session& s, const float* values, size_t count)
{
    std::string out;
    if (s.realBits == 0) {
        out.reserve(count * 10);
        char buf[32];
        for (size_t i = 0; i < count; ++i) {
            if (i > 0)
                out += ',';
            const auto r = std::to_chars(buf, buf + sizeof buf, values[i]);
            out.append(buf, r.ptr);
        }
        return out;
    }
    const std::string length = std::to_string(count * static_cast<size_t>(s.realBits / 8));
    out.reserve(length.size() + 2 + count * static_cast<size_t>(s.realBits / 8));
    out += '#';
    out += static_cast<char>('0' + length.size());
    out += length;
    for (size_t i = 0; i < count; ++i) {
        if (s.realBits == 32)
            AppendBinary(out, values[i], s.swapped);
        else
            AppendBinary(out, static_cast<double>(values[i]), s.swapped);
    }
    return out;
}

Step Instrument::Format(Ctx& ctx)
{
    Session& s = ctx.session;
    const scpi::Command& c = ctx.command;
    if (Is(c, 1, "BORDer")) {
        if (c.query) {
            if (!Count(ctx, 0, 0))
                return Step::Stop;
            ctx.answer = s.swapped ? "SWAP" : "NORM";
            return Step::Next;
        }
        if (!Count(ctx, 1, 1))
            return Step::Stop;
        const Param& p = c.params[0];
        const bool normal = p.kind == Param::Kind::Word && scpi::Matches(p.text, "NORMal");
        const bool swapped = p.kind == Param::Kind::Word && scpi::Matches(p.text, "SWAPped");
        if (!normal && !swapped) {
            s.PushError(scpi::kIllegalParameterValue, "NORMal or SWAPped");
            return Step::Stop;
        }
        s.swapped = swapped;
        return Step::Next;
    }
    if (c.query) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = s.realBits == 0 ? "ASC" : "REAL," + Num(s.realBits);
        return Step::Next;
    }
    if (!Count(ctx, 1, 2))
        return Step::Stop;
    const Param& p = c.params[0];
    const bool ascii = p.kind == Param::Kind::Word && scpi::Matches(p.text, "ASCii");
    const bool real = p.kind == Param::Kind::Word && scpi::Matches(p.text, "REAL");
    if (!ascii && !real) {
        s.PushError(scpi::kIllegalParameterValue, "ASCii or REAL");
        return Step::Stop;
    }
    int bits = 0;
    if (real) {
        bits = 32;
        if (c.params.size() > 1) {
            const auto v = Integer(ctx, 1, 0, 64);
            if (!v)
                return Step::Stop;
            bits = *v;
        }
        if (bits != 32 && bits != 64) {
            s.PushError(scpi::kIllegalParameterValue, "REAL,32 or REAL,64");
            return Step::Stop;
        }
    } else if (c.params.size() > 1 && !Integer(ctx, 1, 0, 0)) {  // ASCii,0 only
        return Step::Stop;
    }
    s.realBits = bits;
    return Step::Next;
}
