#include "meter.h"

#include "error.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace meter {
namespace {

constexpr int kMaxQueuedErrors = 32;  // more than any meter keeps: a queue that never empties is garbage
constexpr double kOverload = 9.9e37;

bool Printable(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            return false;
    return true;
}

[[noreturn]] void Garbage(const std::string& what, std::string_view answer)
{
    throw Error(Error::Kind::Garbage, what + ": " + Quote(answer));
}

std::string Decimal(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

// Parses an answer; an error names the meter.
template <typename F>
auto Named(const std::string& name, F&& parse)
{
    try {
        return parse();
    } catch (const Error& e) {
        throw Error(e.kind(), name + ": " + e.what());
    }
}

}  // namespace

std::string Identity::Text() const { return maker + "," + model + "," + serial + "," + firmware; }

std::string_view AutoZeroName(AutoZero a)
{
    return a == AutoZero::On ? "ON" : a == AutoZero::Off ? "OFF" : "ONCE";
}

double ParseReading(std::string_view answer)
{
    const std::string_view s = TrimBlanks(answer);
    // Sign, digits with at most one point, an optional exponent: nothing else.
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    bool point = false;
    for (; i < s.size() && ((s[i] >= '0' && s[i] <= '9') || (s[i] == '.' && !point)); ++i) {
        point = point || s[i] == '.';
        digits += s[i] != '.';
    }
    if (digits > 0 && i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        const size_t first = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - first < 4)
            ++i;
        if (i == first)
            digits = 0;
    }
    if (digits == 0 || i != s.size() || s.size() > 64)
        Garbage("not a reading", answer);
    std::string text(s[0] == '+' ? s.substr(1) : s);
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v))
        Garbage("not a reading", answer);
    if (std::abs(v) >= kOverload * 0.999)
        throw Error(Error::Kind::Refused, "the meter reports an overload (" + std::string(s) +
                                              "): the output is beyond its range");
    return v;
}

std::pair<int, std::string> ParseErrorEntry(std::string_view answer)
{
    const size_t comma = answer.find(',');
    const std::string_view number = TrimBlanks(answer.substr(0, comma));
    int code = 0;
    const char* begin = number.data() + (number.substr(0, 1) == "+" ? 1 : 0);
    const auto [end, ec] = std::from_chars(begin, number.data() + number.size(), code);
    if (number.empty() || ec != std::errc() || end != number.data() + number.size() || !Printable(answer))
        Garbage("not an error queue entry", answer);
    std::string_view text = comma == std::string_view::npos ? std::string_view() : TrimBlanks(answer.substr(comma + 1));
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = text.substr(1, text.size() - 2);
    return {code, std::string(text)};
}

Identity ParseIdentity(std::string_view answer)
{
    std::string_view fields[4];
    std::string_view rest = answer;
    for (int i = 0; i < 4; ++i) {
        const size_t comma = rest.find(',');
        if ((i < 3) == (comma == std::string_view::npos))
            Garbage("not an identity (maker,model,serial,firmware)", answer);
        fields[i] = TrimBlanks(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    if (!Printable(answer) || fields[0].empty() || fields[1].empty())
        Garbage("not an identity (maker,model,serial,firmware)", answer);
    return Identity{std::string(fields[0]), std::string(fields[1]), std::string(fields[2]), std::string(fields[3])};
}

std::vector<std::string> SetupCommands(const Setup& setup)
{
    std::vector<std::string> c{"*CLS"};
    if (setup.style == SetupStyle::Configure) {
        c.push_back("CONF:VOLT:DC " + Decimal(setup.expectedVolts));
    } else {
        c.push_back("FUNC \"VOLT:DC\"");
        c.push_back("VOLT:DC:RANG " + Decimal(setup.expectedVolts));
    }
    c.push_back("VOLT:DC:NPLC " + Decimal(setup.nplc));
    c.push_back("ZERO:AUTO " + std::string(AutoZeroName(setup.autoZero)));
    return c;
}

Meter::Meter(std::unique_ptr<Transport> transport) : transport_(std::move(transport)) {}

std::unique_ptr<Meter> Meter::Open(const Address& address, const Timeouts& timeouts)
{
    return std::make_unique<Meter>(OpenTransport(address, timeouts));
}

std::string Meter::Query(std::string_view query)
{
    transport_->Send(query);
    return transport_->Receive();
}

Identity Meter::Identify()
{
    const std::string answer = Query("*IDN?");
    return Named(name(), [&] { return ParseIdentity(answer); });
}

Configuration Meter::Configure(const Setup& setup)
{
    Configuration c;
    c.commands = SetupCommands(setup);
    for (const auto& command : c.commands)
        transport_->Send(command);
    std::string refused;
    for (int i = 0;; ++i) {
        if (i == kMaxQueuedErrors)
            throw Error(Error::Kind::Garbage, name() + ": the error queue does not empty");
        const std::string answer = Query("SYST:ERR?");
        const auto [code, text] = Named(name(), [&] { return ParseErrorEntry(answer); });
        if (code == 0)
            break;
        refused += (refused.empty() ? "" : "; ") + std::to_string(code) + " " + text;
    }
    if (!refused.empty())
        throw Error(Error::Kind::Refused, name() + " refused the set-up (" + c.commands[1] + " ...): " + refused);
    const std::string range = Query("VOLT:DC:RANG?");
    c.rangeVolts = Named(name(), [&] { return ParseReading(range); });
    if (!(c.rangeVolts > 0))
        Garbage(name() + ": not a range", range);
    c.resolutionVolts = c.rangeVolts * std::pow(10.0, -std::floor(setup.digits));
    return c;
}

void Meter::StartReading()
{
    transport_->Send("READ?");
}

double Meter::FinishReading()
{
    const std::string answer = transport_->Receive();
    return Named(name(), [&] { return ParseReading(answer); });
}

double Meter::Read()
{
    StartReading();
    return FinishReading();
}

}  // namespace meter
