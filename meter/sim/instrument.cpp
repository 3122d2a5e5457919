#include "instrument.h"

#include "header.h"

#include "meter/transport.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#ifndef QV_SIMMETER_VERSION
#define QV_SIMMETER_VERSION "0"
#endif

namespace simmeter {
namespace {

constexpr std::array<double, 5> kRanges{0.1, 1, 10, 100, 1000};
constexpr double kOverRange = 1.2;  // each range reads to 120 % of its name
constexpr double kOverload = 9.9e37;
constexpr size_t kMaxErrors = 20;
constexpr const char* kIdentity = "QV4816X,QV-SIMDMM,SIMULATED," QV_SIMMETER_VERSION;

bool Is(std::string_view given, std::string_view pattern) { return Matches(given, pattern); }

std::optional<double> Number(std::string_view s)
{
    s = meter::TrimBlanks(s);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string Nr3(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%+.9E", v);
    return text;
}

}  // namespace

Instrument::Instrument(const Settings& settings)
    : s_(settings), probe_(settings.probePath), noise_(settings.seed * 0x9E3779B97F4A7C15u | 1)
{
}

void Instrument::PushError(int code, const char* text)
{
    if (errors_.size() >= kMaxErrors) {
        errors_.back() = {-350, "Queue overflow"};
        return;
    }
    errors_.emplace_back(code, text);
}

double Instrument::RangeFor(double volts) const
{
    for (double r : kRanges)
        if (std::abs(volts) <= r * kOverRange)
            return r;
    return kRanges.back();
}

double Instrument::Measure()
{
    std::array<double, 4> outputs{};
    probe_.Read(outputs);
    double v = outputs[static_cast<size_t>(s_.channel)];
    v += s_.noiseUv * 1e-6 / std::sqrt(std::max(nplc_, 0.001)) * noise_.Next();
    const double range = autoRange_ ? RangeFor(v) : range_;
    if (std::abs(v) > range * kOverRange)
        return kOverload;
    const double count = range * 1e-6;  // 6½ digits
    return std::round(v / count) * count;
}

std::optional<std::string> Instrument::Reading(Fate& fate)
{
    const uint64_t n = readings_++;
    if (s_.disconnectAfter && n >= *s_.disconnectAfter) {
        fate = Fate::Disconnect;
        return std::nullopt;
    }
    if (s_.hangAfter && n >= *s_.hangAfter) {
        fate = Fate::Hang;
        return std::nullopt;
    }
    delayOwed_ += s_.delayUs;
    if (s_.garbageAfter && n >= *s_.garbageAfter)
        return std::string("+1.2\x01?VOLT#");
    return Nr3(Measure());
}

bool Instrument::Command(std::string_view header, std::string_view args, bool query, std::string& answer)
{
    const std::string_view volt = "[SENSe:]VOLTage[:DC]";
    if (query && Is(header, "*IDN")) {
        answer = kIdentity;
    } else if (!query && Is(header, "*RST")) {
        range_ = 10, autoRange_ = true, nplc_ = 10, autoZero_ = "ON";
    } else if (!query && Is(header, "*CLS")) {
        errors_.clear();
    } else if (query && Is(header, "*OPC")) {
        answer = "1";
    } else if (query && Is(header, "SYSTem:ERRor[:NEXT]")) {
        if (errors_.empty()) {
            answer = "+0,\"No error\"";
        } else {
            answer = std::to_string(errors_.front().first) + ",\"" + errors_.front().second + "\"";
            errors_.pop_front();
        }
    } else if (!query && (Is(header, "CONFigure[:VOLTage][:DC]") || Is(header, "[SENSe:]FUNCtion[:ON]"))) {
        if (Is(header, "[SENSe:]FUNCtion[:ON]")) {
            const std::string_view f = meter::TrimBlanks(args);
            if (f != "\"VOLT:DC\"" && f != "\"VOLT\"" && f != "\"VOLTAGE:DC\"" && f != "'VOLT:DC'")
                PushError(-224, "Illegal parameter value");
            return true;
        }
        autoZero_ = "ON";
        const std::string_view first = meter::TrimBlanks(args.substr(0, args.find(',')));
        if (first.empty() || Is(first, "AUTO") || Is(first, "DEFault")) {
            autoRange_ = true;
        } else if (const auto v = Number(first)) {
            autoRange_ = false, range_ = RangeFor(*v);
        } else if (Is(first, "MINimum") || Is(first, "MAXimum")) {
            autoRange_ = false, range_ = Is(first, "MINimum") ? kRanges.front() : kRanges.back();
        } else {
            PushError(-224, "Illegal parameter value");
        }
    } else if (Is(header, std::string(volt) + ":RANGe[:UPPer]")) {
        if (query) {
            answer = Nr3(range_);
        } else if (const auto v = Number(args); v && std::abs(*v) <= kRanges.back() * kOverRange) {
            autoRange_ = false, range_ = RangeFor(*v);
        } else {
            PushError(v ? -222 : -224, v ? "Data out of range" : "Illegal parameter value");
        }
    } else if (Is(header, std::string(volt) + ":RANGe:AUTO")) {
        if (query)
            answer = autoRange_ ? "1" : "0";
        else
            autoRange_ = meter::TrimBlanks(args) == "ON" || meter::TrimBlanks(args) == "1";
    } else if (Is(header, std::string(volt) + ":NPLCycles")) {
        if (query) {
            answer = Nr3(nplc_);
        } else if (const auto v = Number(args); v && *v >= 0.001 && *v <= 200) {
            nplc_ = *v;
        } else {
            PushError(v ? -222 : -224, v ? "Data out of range" : "Illegal parameter value");
        }
    } else if (Is(header, std::string(volt) + ":RESolution") && query) {
        answer = Nr3(range_ * 1e-6);
    } else if (Is(header, "[SENSe:]ZERO:AUTO")) {
        const std::string_view a = meter::TrimBlanks(args);
        if (query)
            answer = autoZero_ == "OFF" ? "0" : "1";
        else if (a == "ON" || a == "1" || a == "OFF" || a == "0" || a == "ONCE")
            autoZero_ = a == "1" ? "ON" : a == "0" ? "OFF" : std::string(a);
        else
            PushError(-224, "Illegal parameter value");
    } else {
        PushError(-113, "Undefined header");
        return true;
    }
    return true;
}

Instrument::Fate Instrument::Line(std::string_view line, std::string& answer)
{
    answer.clear();
    delayOwed_ = 0;
    bool answered = false;
    while (!line.empty()) {
        const size_t semicolon = line.find(';');
        const std::string_view unit = meter::TrimBlanks(line.substr(0, semicolon));
        line = semicolon == std::string_view::npos ? std::string_view() : line.substr(semicolon + 1);
        if (unit.empty())
            continue;
        const size_t space = unit.find_first_of(" \t");
        std::string_view header = unit.substr(0, space);
        const std::string_view args = space == std::string_view::npos ? std::string_view() : unit.substr(space + 1);
        const bool query = !header.empty() && header.back() == '?';
        if (query)
            header.remove_suffix(1);
        std::string one;
        if (query && (Is(header, "READ") || Is(header, "FETCh") || Is(header, "MEASure[:VOLTage][:DC]"))) {
            Fate fate = Fate::Answer;
            const auto reading = Reading(fate);
            if (!reading)
                return fate;
            one = *reading;
        } else if (header.empty()) {
            PushError(-113, "Undefined header");
            continue;
        } else {
            Command(header, args, query, one);
            if (!query || one.empty())
                continue;
        }
        answer += (answered ? ";" : "") + one;
        answered = true;
    }
    return answered ? Fate::Answer : Fate::Silent;
}

}  // namespace simmeter
