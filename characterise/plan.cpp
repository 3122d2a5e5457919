#include "plan.h"

#include "analysis/datafile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <random>

namespace characterise {
namespace {

constexpr size_t kMaxListBytes = 1u << 20;

std::string_view Trim(std::string_view s) { return meter::TrimBlanks(s); }

template <typename T>
bool Number(std::string_view s, T& v)
{
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

std::string Decimal(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// Random codes not in `taken`, from the plan's seed: the same plan gives the same codes.
void AddRandom(std::vector<int>& codes, int count, uint64_t seed, int top)
{
    std::vector<bool> taken(static_cast<size_t>(top) + 1);
    for (int c : codes)
        taken[static_cast<size_t>(c)] = true;
    count = std::min<int>(count, top + 1 - static_cast<int>(codes.size()));
    std::mt19937_64 random(seed);
    for (int added = 0; added < count;) {
        const int c = static_cast<int>(random() % (static_cast<uint64_t>(top) + 1));
        if (!taken[static_cast<size_t>(c)]) {
            taken[static_cast<size_t>(c)] = true;
            codes.push_back(c);
            ++added;
        }
    }
}

}  // namespace

std::vector<int> Codes(const Plan& plan, int resolution)
{
    const int top = (1 << resolution) - 1;
    std::vector<int> codes;
    switch (plan.codes) {
    case CodeSet::List:
        for (int c : plan.list)
            if (c >= 0 && c <= top)
                codes.push_back(c);
        return codes;
    case CodeSet::All:
        for (int c = 0; c <= top; ++c)
            codes.push_back(c);
        break;
    case CodeSet::EveryNth:
        for (int c = 0; c <= top; c += std::max(plan.every, 1))
            codes.push_back(c);
        if (codes.back() != top)
            codes.push_back(top);
        break;
    case CodeSet::MajorCarries: {
        codes = {0, top};
        // Each lower bit's first carry: 2^b - 1 -> 2^b.
        const int bits = std::clamp(plan.carryBits, 1, resolution);
        for (int b = 0; b < resolution - bits; ++b)
            codes.insert(codes.end(), {(1 << b) - 1, 1 << b});
        // Every carry into the top bits: j 2^(n - bits) - 1 -> j 2^(n - bits).
        const int step = 1 << (resolution - bits);
        for (int c = step; c <= top; c += step)
            codes.insert(codes.end(), {c - 1, c});
        std::sort(codes.begin(), codes.end());
        codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
        break;
    }
    }
    AddRandom(codes, plan.randomCodes, plan.seed, top);
    std::sort(codes.begin(), codes.end());
    return codes;
}

std::string PlanText(const Plan& plan)
{
    std::string codes;
    switch (plan.codes) {
    case CodeSet::All: codes = "all"; break;
    case CodeSet::EveryNth: codes = "every:" + std::to_string(plan.every); break;
    case CodeSet::MajorCarries: codes = "carries"; break;
    case CodeSet::List: codes = "list:" + std::to_string(plan.list.size()); break;
    }
    return "channel=" + std::string(1, static_cast<char>('A' + plan.channel)) + ";codes=" + codes +
           ";carry-bits=" + std::to_string(plan.carryBits) + ";random=" + std::to_string(plan.randomCodes) +
           ";seed=" + std::to_string(plan.seed) + ";settle-ms=" + std::to_string(plan.settleMs) +
           ";readings=" + std::to_string(plan.readings) + ";nplc=" + Decimal(plan.nplc) +
           ";autozero=" + std::string(meter::AutoZeroName(plan.autoZero)) +
           ";setup=" + (plan.setupStyle == meter::SetupStyle::Configure ? "conf" : "func") +
           ";digits=" + Decimal(plan.digits) + ";timeout-ms=" + std::to_string(plan.timeoutMs);
}

bool ParsePlanText(std::string_view text, Plan& plan, std::string& why)
{
    Plan p = plan;
    while (!text.empty()) {
        const size_t semicolon = text.find(';');
        const std::string_view item = Trim(text.substr(0, semicolon));
        text = semicolon == std::string_view::npos ? std::string_view() : text.substr(semicolon + 1);
        if (item.empty())
            continue;
        const size_t eq = item.find('=');
        const std::string_view key = Trim(item.substr(0, eq));
        const std::string_view value = eq == std::string_view::npos ? std::string_view() : Trim(item.substr(eq + 1));
        bool ok = eq != std::string_view::npos;
        double d = 0;
        if (!ok) {
        } else if (key == "channel") {
            ok = value.size() == 1 && (value[0] | 0x20) >= 'a' && (value[0] | 0x20) <= 'd';
            if (ok)
                p.channel = (value[0] | 0x20) - 'a';
        } else if (key == "codes") {
            if (value == "all") {
                p.codes = CodeSet::All;
            } else if (value == "carries") {
                p.codes = CodeSet::MajorCarries;
            } else if (value.substr(0, 6) == "every:") {
                ok = Number(value.substr(6), p.every) && p.every >= 1 && p.every <= 65536;
                p.codes = CodeSet::EveryNth;
            } else if (value == "list" || value.substr(0, 5) == "list:") {
                // The codes themselves travel apart; the count is for the reader.
                size_t n = 0;
                ok = value == "list" || Number(value.substr(5), n);
                p.codes = CodeSet::List;
            } else {
                ok = false;
            }
        } else if (key == "carry-bits") {
            ok = Number(value, p.carryBits) && p.carryBits >= 1 && p.carryBits <= 16;
        } else if (key == "random") {
            ok = Number(value, p.randomCodes) && p.randomCodes >= 0 && p.randomCodes <= 65536;
        } else if (key == "seed") {
            ok = Number(value, p.seed);
        } else if (key == "settle-ms") {
            ok = Number(value, p.settleMs) && p.settleMs >= 0 && p.settleMs <= kMaxSettleMs;
        } else if (key == "readings") {
            ok = Number(value, p.readings) && p.readings >= 1 && p.readings <= kMaxReadings;
        } else if (key == "nplc") {
            ok = Number(value, d) && d >= 0.001 && d <= 1000;
            p.nplc = d;
        } else if (key == "autozero") {
            ok = value == "ON" || value == "OFF" || value == "ONCE";
            p.autoZero = value == "ON" ? meter::AutoZero::On : value == "OFF" ? meter::AutoZero::Off : meter::AutoZero::Once;
        } else if (key == "setup") {
            ok = value == "conf" || value == "func";
            p.setupStyle = value == "func" ? meter::SetupStyle::Function : meter::SetupStyle::Configure;
        } else if (key == "digits") {
            ok = Number(value, d) && d >= 3 && d <= 9;
            p.digits = d;
        } else if (key == "timeout-ms") {
            ok = Number(value, p.timeoutMs) && p.timeoutMs >= kMinTimeoutMs && p.timeoutMs <= kMaxTimeoutMs;
        } else {
            why = "unknown item '" + std::string(key) + "'";
            return false;
        }
        if (!ok) {
            if (why.empty())
                why = "bad value in '" + std::string(item) + "'";
            return false;
        }
    }
    plan = std::move(p);
    return true;
}

std::optional<std::vector<int>> ParseCodeList(std::string_view text, int resolution, std::string& why)
{
    if (text.size() > kMaxListBytes) {
        why = "a list of codes holds at most 1 MiB";
        return std::nullopt;
    }
    const int top = (1 << resolution) - 1;
    std::vector<bool> seen(static_cast<size_t>(top) + 1);
    std::vector<int> codes;
    size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        line = Trim(line.substr(0, line.find('#')));
        if (!line.empty() && line.back() == '\r')
            line = Trim(line.substr(0, line.size() - 1));
        if (line.empty())
            continue;
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        int code = -1;
        const bool hex = line.size() > 2 && line[0] == '0' && (line[1] == 'x' || line[1] == 'X');
        const std::string_view digits = hex ? line.substr(2) : line;
        const auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
        if (ec != std::errc() || p != digits.data() + digits.size() || code < 0 || code > top) {
            why = where + "'" + std::string(line.substr(0, 40)) + "' is not a code from 0 to " + std::to_string(top);
            return std::nullopt;
        }
        if (seen[static_cast<size_t>(code)]) {
            why = where + "code " + std::to_string(code) + " is listed twice";
            return std::nullopt;
        }
        seen[static_cast<size_t>(code)] = true;
        codes.push_back(code);
    }
    if (codes.empty()) {
        why = "the list holds no codes";
        return std::nullopt;
    }
    return codes;
}

std::optional<std::vector<int>> ReadCodeListFile(const std::string& path, int resolution, std::string& why)
{
    std::string text;
    if (!analysis::ReadRegularFile(path, kMaxListBytes, text, why)) {
        why = path + ": " + why;
        return std::nullopt;
    }
    auto codes = ParseCodeList(text, resolution, why);
    if (!codes)
        why = path + ": " + why;
    return codes;
}

}  // namespace characterise
