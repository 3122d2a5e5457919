#include "options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <cstdio>
#include <cstdlib>

namespace evlink {
namespace {

// Power control status bits the alarms set.
constexpr uint16_t kTsdAlarm = 1u << 5;
constexpr uint16_t kOverCurrentA = 1u << 7;

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::optional<uint64_t> Number(std::string_view s)
{
    uint64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

// A decimal number within +-limit (0..limit when not signed).
std::optional<double> Decimal(std::string_view s, double limit, bool isSigned)
{
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !(std::abs(v) <= limit) ||
        (!isSigned && v < 0))
        return std::nullopt;
    return v;
}

struct StaticError {
    std::string_view key;
    double Options::*field;
    double limit;
    bool isSigned;
    const char* unit;
};

constexpr StaticError kStaticErrors[] = {
    {"offset-mv", &Options::offsetMv, 1000, true, "millivolts"},
    {"gain-ppm", &Options::gainPpm, 100000, true, "parts per million"},
    {"inl-lsb", &Options::inlLsb, 65536, true, "LSB"},
    {"dnl-lsb", &Options::dnlLsb, 65536, true, "LSB"},
    {"noise-mv", &Options::noiseMv, 1000, false, "millivolts"},
};

// Channel letter a to d, or -1.
int Channel(std::string_view s)
{
    if (s.size() != 1 || s[0] < 'a' || s[0] > 'd')
        return -1;
    return s[0] - 'a';
}

// Applies one item; an empty result means it was understood.
std::string Apply(Options& o, std::string_view item)
{
    const std::size_t eq = item.find('=');
    const std::string_view key = item.substr(0, eq);
    const std::string_view value = eq == std::string_view::npos ? std::string_view() : item.substr(eq + 1);
    const bool hasValue = eq != std::string_view::npos;
    const std::string quoted = "'" + std::string(item) + "'";

    if (!hasValue && key == "absent") {
        o.absent = true;
    } else if (!hasValue && key == "only") {
        o.only = true;
    } else if (key == "resolution" && hasValue) {
        const auto n = Number(value);
        if (!n || (*n != 16 && *n != 14 && *n != 12))
            return "bad value in " + quoted + " (16, 14 or 12)";
        o.resolution = static_cast<int>(*n);
    } else if (key == "latency-us" && hasValue) {
        const auto n = Number(value);
        if (!n || *n > kMaxLatencyUs)
            return "bad value in " + quoted + " (microseconds, at most " + std::to_string(kMaxLatencyUs) + ")";
        o.latencyUs = static_cast<uint32_t>(*n);
    } else if (key == "unplug-after" && hasValue) {
        const auto n = Number(value);
        if (!n)
            return "bad value in " + quoted + " (a number of requests)";
        o.unplugAfter = *n;
    } else if (key == "alarm" && hasValue) {
        if (value == "tsd") {
            o.alarmBits |= kTsdAlarm;
        } else if (value.substr(0, 3) == "oc-" && Channel(value.substr(3)) >= 0) {
            o.alarmBits |= static_cast<uint16_t>(kOverCurrentA << Channel(value.substr(3)));
        } else {
            return "bad value in " + quoted + " (tsd, oc-a, oc-b, oc-c or oc-d)";
        }
    } else if (key == "probe" && hasValue) {
        if (value.empty() || value.size() > 4096 || value.find('\0') != std::string_view::npos)
            return "bad value in " + quoted + " (a file name)";
        o.probePath = std::string(value);
    } else if (key == "fault" && hasValue) {
        if (Channel(value) < 0)
            return "bad value in " + quoted + " (a channel: a, b, c or d)";
        o.faultyChannels |= static_cast<uint8_t>(1u << Channel(value));
    } else if (const auto* e = std::find_if(std::begin(kStaticErrors), std::end(kStaticErrors),
                                            [key](const StaticError& x) { return x.key == key; });
               e != std::end(kStaticErrors) && hasValue) {
        const auto v = Decimal(value, e->limit, e->isSigned);
        if (!v)
            return "bad value in " + quoted + " (" + e->unit + ", " + (e->isSigned ? "-" : "0 to ") +
                   std::to_string(static_cast<int>(e->limit)) + (e->isSigned ? " to " + std::to_string(static_cast<int>(e->limit)) : "") + ")";
        o.*(e->field) = *v;
    } else {
        return "unknown option " + quoted;
    }
    return {};
}

}  // namespace

Options ParseOptions(std::string_view text, std::vector<std::string>* complaints)
{
    Options o;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (item.empty())
            continue;
        std::string complaint = Apply(o, item);
        if (complaint.empty())
            o.text += (o.text.empty() ? "" : ",") + std::string(item);
        else if (complaints != nullptr)
            complaints->push_back(std::move(complaint));
    }
    return o;
}

const Options& EnvironmentOptions()
{
    static const Options options = [] {
        const char* text = std::getenv("EVLINK_SIM");
        std::vector<std::string> complaints;
        Options o = ParseOptions(text != nullptr ? text : "", &complaints);
        for (const auto& c : complaints)
            std::fprintf(stderr, "EVLINK_SIM: %s ignored\n", c.c_str());
        return o;
    }();
    return options;
}

bool SimulationAsked() { return std::getenv("EVLINK_SIM") != nullptr; }

}  // namespace evlink
