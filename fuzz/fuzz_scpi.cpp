// libFuzzer target: the SCPI parser on whatever a client may send, split into
// lines as the server splits them. Besides crashes and the sanitizers'
// findings it checks what the server relies on: a command that parsed has a
// header, no path is kept deeper than kMaxDepth, strings are UTF-8, numbers
// are finite and carry a known unit, channel lists hold small numbers; and
// the command tree's header forms match whatever was typed without harm.
#include "remote/scpi.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {
void Check(bool ok)
{
    if (!ok)
        std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view in(reinterpret_cast<const char*>(data), size);
    while (!in.empty()) {
        const size_t nl = in.find('\n');
        std::string_view line = in.substr(0, nl);
        in = nl == std::string_view::npos ? std::string_view() : in.substr(nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > 64 * 1024)
            continue;  // the server drops such a line unparsed
        for (const scpi::Command& c : scpi::ParseLine(line)) {
            Check(c.nodes.size() <= scpi::kMaxDepth);
            if (c.error != scpi::kNoError)
                continue;
            Check(c.common ? !c.nodes.empty() : !c.typed.empty());
            for (const scpi::Param& p : c.params) {
                Check(p.kind != scpi::Param::Kind::Number || std::isfinite(p.number));
                Check(p.unit == 0 || p.unit == 'V' || p.unit == 'S');
                for (const auto& [first, last] : p.channels)
                    Check(first >= 0 && first <= 9999 && last >= 0 && last <= 9999);
            }
            int suffix = 0;
            for (const char* pattern : {"DAC#:CODE", "MEASure[:VOLTage][:DC]", "SYSTem:ERRor:CODE[:NEXT]"})
                if (scpi::MatchHeader(pattern, c.typed, suffix))
                    Check(suffix >= -1 && suffix <= 1000000);
        }
    }
    return 0;
}
