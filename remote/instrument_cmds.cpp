// The command tree's handlers.
#include "instrument.h"

#include "board/adc.h"
#include "board/boardlink.h"
#include "board/declare.h"
#include "platform/numtext.h"
#include "platform/runtimeerror.h"

#include <charconv>
#include <cmath>
#include <optional>

using Step = Instrument::Step;
using scpi::Param;

namespace {

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

std::optional<int> Channel(Instrument::Ctx& ctx, size_t i, bool allowAll = false)
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

std::string FloatText(float v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// ---- output ranges: low end and span in volts, by range code.
constexpr const char* kRangeNames[6] = {"UNI5", "UNI10", "UNI10P8", "BIP5", "BIP10", "BIP10P8"};
constexpr double kRangeLow[6] = {0, 0, 0, -5, -10, -10.8};
constexpr double kRangeSpan[6] = {5, 10, 10.8, 10, 20, 21.6};

bool TwosComplement(int range) { return range >= 3 && State.BinPin == 0; }

// The nearest code for `volts` at the resolution, range and coding; nullopt
// outside the range (its nominal ends included).
std::optional<int32_t> VoltsToCode(double volts, int range)
{
    const double full = std::ldexp(1.0, State.ResolutionBits);
    const double low = kRangeLow[range];
    const double high = low + kRangeSpan[range];
    if (!(volts >= low && volts <= high))
        return std::nullopt;
    auto code = static_cast<int32_t>(std::nearbyint((volts - low) / kRangeSpan[range] * full));
    code = std::min(code, static_cast<int32_t>(full) - 1);
    if (TwosComplement(range))
        code ^= static_cast<int32_t>(full) / 2;
    return code;
}

double CodeToVolts(int32_t code, int range)
{
    const double full = std::ldexp(1.0, State.ResolutionBits);
    if (TwosComplement(range))
        code ^= static_cast<int32_t>(full) / 2;
    return kRangeLow[range] + kRangeSpan[range] * code / full;
}

std::string VoltsText(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string VersionText()
{
    const Edition& e = CurrentEdition();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d.%02d.%04d", e.major, e.minor, e.revision);
    return buf;
}

bool Is(const scpi::Command& c, size_t node, std::string_view name)
{
    return node < c.nodes.size() && scpi::Matches(c.nodes[node], name);
}

}  // namespace

Step Instrument::Common(Ctx& ctx)
{
    const std::string& name = ctx.command.nodes.front();
    const bool q = ctx.command.query;
    Session& s = ctx.session;
    auto noParams = [&] { return Count(ctx, 0, 0); };
    if (name == "IDN" && q) {
        if (!noParams())
            return Step::Stop;
        ctx.answer = "QV,QV4816X,0," + VersionText();
    } else if (name == "RST" && !q) {
        if (!noParams())
            return Step::Stop;
        Reset();
    } else if (name == "CLS" && !q) {
        if (!noParams())
            return Step::Stop;
        s.errors.clear();
        s.esr = 0;
        s.opcWanted = false;
    } else if (name == "OPC" || name == "WAI") {
        if (!noParams())
            return Step::Stop;
        if (name == "WAI" && q) {
            s.PushError(scpi::kUndefinedHeader);
            return Step::Stop;
        }
        if (name == "OPC" && !q) {
            if (Busy())
                s.opcWanted = true;
            else
                s.esr |= 1;
            return Step::Next;
        }
        if (Busy())
            return Step::Wait;
        if (q)
            ctx.answer = "1";
    } else if (name == "ESR" && q) {
        if (!noParams())
            return Step::Stop;
        ctx.answer = Num(s.esr);
        s.esr = 0;
    } else if ((name == "ESE" || name == "SRE") && q) {
        if (!noParams())
            return Step::Stop;
        ctx.answer = Num(name == "ESE" ? s.ese : s.sre);
    } else if (name == "ESE" || name == "SRE") {
        if (!Count(ctx, 1, 1))
            return Step::Stop;
        const auto v = Integer(ctx, 0, 0, 255);
        if (!v)
            return Step::Stop;
        (name == "ESE" ? s.ese : s.sre) = *v;
    } else if (name == "STB" && q) {
        if (!noParams())
            return Step::Stop;
        ctx.answer = Num(s.StatusByte());
    } else if (name == "TST" && q) {
        if (!noParams())
            return Step::Stop;
        return SelfTest(ctx);
    } else {
        s.PushError(scpi::kUndefinedHeader);
        return Step::Stop;
    }
    return Step::Next;
}

Step Instrument::SelfTest(Ctx& ctx)
{
    Session& s = ctx.session;
    if (s.testTicket != 0) {
        if (testRunning_ && s.testTicket == testTicket_)
            return Step::Wait;
        ctx.answer = s.testTicket == testTicket_ ? testResult_ : "1";
        s.testTicket = 0;
        return Step::Next;
    }
    if (Busy())
        return Step::Wait;
    const std::string why = connect ? connect() : std::string();
    if (!why.empty()) {
        s.PushError(scpi::kSelfTestFailed, why);
        ctx.answer = "1";
        return Step::Next;
    }
    testRunning_ = true;
    s.testTicket = ++testTicket_;
    // The pause lets the board settle after its connection; the other clients
    // are served meanwhile.
    QTimer::singleShot(testPauseMs_, this, [this] {
        bool pass = false;
        try {
            pass = ops::SelfTestChecks();
        } catch (const RunTimeError&) {
            pass = false;
        }
        testResult_ = pass ? "0" : "1";
        testRunning_ = false;
        emit Idle();
    });
    return Step::Wait;
}

Step Instrument::DacCode(Ctx& ctx)
{
    if (ctx.command.query) {
        if (!Count(ctx, 1, 1))
            return Step::Stop;
        const auto ch = Channel(ctx, 0);
        if (!ch)
            return Step::Stop;
        const int32_t code = ops::ReadDacCode(static_cast<int16_t>(*ch));
        mirror_.ShowCode(*ch, code);
        ctx.answer = Num(code);
        return Step::Next;
    }
    if (!Count(ctx, 2, 2))
        return Step::Stop;
    const auto ch = Channel(ctx, 0);
    if (!ch)
        return Step::Stop;
    const auto code = Integer(ctx, 1, 0, ops::LargestCode(State.ResolutionBits));
    if (!code)
        return Step::Stop;
    ops::WriteDacCode(static_cast<int16_t>(*ch), *code);
    mirror_.ShowCode(*ch, *code);
    return Step::Next;
}

Step Instrument::DacVolts(Ctx& ctx)
{
    if (!Count(ctx, ctx.command.query ? 1 : 2, ctx.command.query ? 1 : 2))
        return Step::Stop;
    const auto ch = Channel(ctx, 0);
    if (!ch)
        return Step::Stop;
    const int range = ops::RangeKnown(*ch);
    if (range < 0 || range > 5) {
        ctx.session.PushError(scpi::kSettingsConflict, "the channel's range is not known: set or read DAC:RANGe");
        return Step::Stop;
    }
    if (ctx.command.query) {
        const int32_t code = ops::ReadDacCode(static_cast<int16_t>(*ch));
        mirror_.ShowCode(*ch, code);
        ctx.answer = VoltsText(CodeToVolts(code, range));
        return Step::Next;
    }
    const auto volts = Number(ctx, 1);
    if (!volts)
        return Step::Stop;
    const auto code = VoltsToCode(*volts, range);
    if (!code) {
        ctx.session.PushError(scpi::kDataOutOfRange);
        return Step::Stop;
    }
    ops::WriteDacCode(static_cast<int16_t>(*ch), *code);
    mirror_.ShowCode(*ch, *code);
    return Step::Next;
}

Step Instrument::DacRange(Ctx& ctx)
{
    if (!Count(ctx, ctx.command.query ? 1 : 2, ctx.command.query ? 1 : 2))
        return Step::Stop;
    const auto ch = Channel(ctx, 0);
    if (!ch)
        return Step::Stop;
    if (ctx.command.query) {
        const int32_t code = ops::ReadRange(static_cast<int16_t>(*ch));
        mirror_.ShowRange(*ch, code);
        ctx.answer = code >= 0 && code <= 5 ? kRangeNames[code] : Num(code);
        return Step::Next;
    }
    const Param& p = ctx.command.params[1];
    int range = -1;
    if (p.kind == Param::Kind::Word) {
        for (int r = 0; r < 6; ++r)
            if (p.text == kRangeNames[r])
                range = r;
        if (range < 0) {
            ctx.session.PushError(scpi::kIllegalParameterValue, "UNI5, UNI10, UNI10P8, BIP5, BIP10, BIP10P8 or 0 to 5");
            return Step::Stop;
        }
    } else {
        const auto v = Integer(ctx, 1, 0, 5);
        if (!v)
            return Step::Stop;
        range = *v;
    }
    ops::WriteRange(static_cast<int16_t>(*ch), static_cast<int16_t>(range));
    mirror_.ShowRange(*ch, range);
    return Step::Next;
}

Step Instrument::DacResolution(Ctx& ctx)
{
    if (ctx.command.query) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = Num(State.ResolutionBits);
        return Step::Next;
    }
    if (!Count(ctx, 1, 1))
        return Step::Stop;
    const auto bits = Integer(ctx, 0, 12, 16);
    if (!bits)
        return Step::Stop;
    if (*bits != 12 && *bits != 14 && *bits != 16) {
        ctx.session.PushError(scpi::kIllegalParameterValue, "12, 14 or 16");
        return Step::Stop;
    }
    State.ResolutionBits = static_cast<int16_t>(*bits);
    mirror_.ShowResolution(*bits);
    return Step::Next;
}

Step Instrument::DacLoadClear(Ctx& ctx)
{
    if (ctx.command.query) {
        ctx.session.PushError(scpi::kUndefinedHeader);
        return Step::Stop;
    }
    if (!Count(ctx, 0, 0))
        return Step::Stop;
    if (Is(ctx.command, 1, "LOAD"))
        ops::SendLoad();
    else
        ops::SendClear();
    return Step::Next;
}

Step Instrument::Control(Ctx& ctx)
{
    int bit = -1;
    if (Is(ctx.command, 1, "TSD"))
        bit = 3;
    else if (Is(ctx.command, 1, "CLAMp"))
        bit = 2;
    else if (Is(ctx.command, 1, "CLRSelect"))
        bit = 1;
    else if (Is(ctx.command, 1, "SDODisable"))
        bit = 0;
    if (ctx.command.query) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        const int32_t v = ops::ReadControl();
        mirror_.ShowControl(v);
        ctx.answer = Num(bit < 0 ? v : (v >> bit) & 1);
        return Step::Next;
    }
    if (bit < 0) {
        ctx.session.PushError(scpi::kUndefinedHeader, "the register is read only; set its bits");
        return Step::Stop;
    }
    if (!Count(ctx, 1, 1))
        return Step::Stop;
    const auto on = Boolean(ctx, 0);
    if (!on)
        return Step::Stop;
    ops::SetControlBit(bit, *on);
    mirror_.ShowControl(State.ControlData);
    return Step::Next;
}

Step Instrument::Power(Ctx& ctx)
{
    const bool dac = Is(ctx.command, 1, "DAC");
    const bool ref = Is(ctx.command, 1, "REFerence");
    const size_t channelParams = dac ? 1 : 0;
    if (ctx.command.query) {
        if (!Count(ctx, channelParams, channelParams))
            return Step::Stop;
        std::optional<int> ch;
        if (dac && !(ch = Channel(ctx, 0)))
            return Step::Stop;
        const int32_t v = ops::ReadPower();
        mirror_.ShowPower(v, true);
        if (dac)
            ctx.answer = Num((v >> *ch) & 1);
        else if (ref)
            ctx.answer = Num((v >> 4) & 1);
        else if (Is(ctx.command, 1, "ALARm"))
            ctx.answer = Num((v >> 7) & 1) + "," + Num((v >> 8) & 1) + "," + Num((v >> 9) & 1) + "," +
                         Num((v >> 10) & 1) + "," + Num((v >> 5) & 1);
        else
            ctx.answer = Num(v);
        return Step::Next;
    }
    if (!dac && !ref) {
        ctx.session.PushError(scpi::kUndefinedHeader, "query only");
        return Step::Stop;
    }
    if (!Count(ctx, channelParams + 1, channelParams + 1))
        return Step::Stop;
    std::optional<int> ch;
    if (dac && !(ch = Channel(ctx, 0)))
        return Step::Stop;
    const auto on = Boolean(ctx, channelParams);
    if (!on)
        return Step::Stop;
    ops::SetPowerBit(dac ? *ch : 4, *on);
    mirror_.ShowPower(State.PowerData, false);
    return Step::Next;
}

Step Instrument::Pins(Ctx& ctx)
{
    const bool pulse = Is(ctx.command, 2, "PULSe");
    const bool word = Is(ctx.command, 1, "WORD");
    int16_t* pin = Is(ctx.command, 1, "CLR") ? &State.ClrPin
                   : Is(ctx.command, 1, "BIN") ? &State.BinPin
                                               : &State.LdacPin;
    if (ctx.command.query) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        if (word)
            ctx.answer = Num(State.PinB7 * 128 + State.PinB6 * 64 + State.PinB5 * 32 + State.LdacPin * 16 +
                             State.ClrPin * 8 + State.BinPin * 4 + State.PinB0);
        else
            ctx.answer = Num(pulse ? mirror_.PulseLdac() : *pin != 0);
        return Step::Next;
    }
    if (word) {
        ctx.session.PushError(scpi::kUndefinedHeader, "query only");
        return Step::Stop;
    }
    if (!Count(ctx, 1, 1))
        return Step::Stop;
    const auto on = Boolean(ctx, 0);
    if (!on)
        return Step::Stop;
    if (pulse) {
        const bool was = mirror_.PulseLdac();
        mirror_.ShowPulseLdac(*on);
        if (*on && !was) {  // as ticking the box: LDAC held high, the pin word sent
            ops::HoldLdacHigh();
            mirror_.ShowPins();
        }
        return Step::Next;
    }
    if (pin == &State.LdacPin && mirror_.PulseLdac()) {
        ctx.session.PushError(scpi::kSettingsConflict, "LDAC is held high while PINS:LDAC:PULSe is ON");
        return Step::Stop;
    }
    ops::SetPin(*pin, *on);
    mirror_.ShowPins();
    return Step::Next;
}

Step Instrument::RegisterAll(Ctx& ctx)
{
    if (!Count(ctx, 0, 0))
        return Step::Stop;
    const ops::AllRegisters all = ops::ReadAll();
    ShowAll(all);
    if (ctx.command.query) {
        std::string& a = ctx.answer;
        for (const int32_t c : all.codes)
            a += Num(c) + ",";
        a += Num(all.power) + "," + Num(all.control);
        for (const int32_t r : all.ranges)
            a += "," + Num(r);
    }
    return Step::Next;
}

Step Instrument::Measure(Ctx& ctx)
{
    if (!ctx.command.query) {
        ctx.session.PushError(scpi::kUndefinedHeader, "query only");
        return Step::Stop;
    }
    if (!Count(ctx, 1, 1))
        return Step::Stop;
    const auto ch = Channel(ctx, 0, true);
    if (!ch)
        return Step::Stop;
    const int first = *ch == 4 ? 0 : *ch;
    const int last = *ch == 4 ? 3 : *ch;
    for (int c = first; c <= last; ++c) {
        const float volts = MeasureChannel(c);
        mirror_.ShowVolts(c, volts);
        if (c > first)
            ctx.answer += ',';
        ctx.answer += FormatVolts4(volts);
    }
    return Step::Next;
}

Step Instrument::Sweep(Ctx& ctx)
{
    Session& s = ctx.session;
    const bool q = ctx.command.query;
    auto refuseWhileRunning = [&] {
        if (!sweepRunning_)
            return false;
        s.PushError(scpi::kSettingsConflict, "a sweep is running");
        return true;
    };
    auto needData = [&] {
        if (State.SampleCount > 0)
            return true;
        s.PushError(scpi::kSettingsConflict, "no sweep data yet");
        return false;
    };
    if (Is(ctx.command, 1, "STARt") && !q) {
        if (!Count(ctx, 0, 0) || refuseWhileRunning())
            return Step::Stop;
        if (testRunning_) {
            s.PushError(scpi::kSettingsConflict, "the self-test is running");
            return Step::Stop;
        }
        ops::StartSweepArrays();
        sweepNext_ = 0;
        sweepRunning_ = true;
        sweepTimer_.start();
    } else if (Is(ctx.command, 1, "ABORt") && !q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        if (sweepRunning_)
            FinishSweep();
    } else if (Is(ctx.command, 1, "STATe") && q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = sweepRunning_ ? "RUN" : "IDLE";
    } else if (Is(ctx.command, 1, "PROGress") && q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = Num(sweepNext_) + "," + Num(ops::kSweepSamples);
    } else if (Is(ctx.command, 1, "DATA") && q) {
        if (!Count(ctx, 1, 3) || refuseWhileRunning() || !needData())
            return Step::Stop;
        const auto ch = Channel(ctx, 0);
        if (!ch)
            return Step::Stop;
        const int32_t samples = State.SampleCount;
        std::optional<int32_t> first = 0;
        if (ctx.command.params.size() > 1 && !(first = Integer(ctx, 1, 0, samples - 1)))
            return Step::Stop;
        std::optional<int32_t> count = samples - *first;
        if (ctx.command.params.size() > 2 && !(count = Integer(ctx, 2, 1, samples - *first)))
            return Step::Stop;
        const std::vector<float>* arrays[4] = {&State.SweepVoltsA, &State.SweepVoltsB, &State.SweepVoltsC,
                                               &State.SweepVoltsD};
        const std::vector<float>& v = *arrays[*ch];
        std::string& a = ctx.answer;
        a.reserve(static_cast<size_t>(*count) * 10);
        for (int32_t i = *first; i < *first + *count && static_cast<size_t>(i) < v.size(); ++i) {
            if (i > *first)
                a += ',';
            a += FloatText(v[static_cast<size_t>(i)]);
        }
    } else if (Is(ctx.command, 1, "SAVE") && !q) {
        if (!Count(ctx, 1, 1) || refuseWhileRunning() || !needData())
            return Step::Stop;
        const Param& p = ctx.command.params[0];
        if (p.kind != Param::Kind::String || p.text.empty()) {
            s.PushError(scpi::kFileNameError, "a quoted file name is needed");
            return Step::Stop;
        }
        std::string why = "saving is not available";
        if (!saveSweep || !saveSweep(p.text, why)) {
            s.PushError(scpi::kFileNameError, why);
            return Step::Stop;
        }
    } else if (Is(ctx.command, 1, "ANALysis") && q) {
        s.PushError(scpi::kExecutionError, "sweep analysis is not available in this version");
        return Step::Stop;
    } else {
        s.PushError(scpi::kUndefinedHeader);
        return Step::Stop;
    }
    return Step::Next;
}

Step Instrument::System(Ctx& ctx)
{
    Session& s = ctx.session;
    if (!ctx.command.query) {
        s.PushError(scpi::kUndefinedHeader, "query only");
        return Step::Stop;
    }
    if (!Count(ctx, 0, 0))
        return Step::Stop;
    if (Is(ctx.command, 1, "VERSion")) {
        ctx.answer = "1999.0";
    } else if (Is(ctx.command, 2, "COUNt")) {
        ctx.answer = Num(static_cast<long long>(s.errors.size()));
    } else if (s.errors.empty()) {
        ctx.answer = scpi::ErrorLine(0);
    } else {
        ctx.answer = scpi::ErrorLine(s.errors.front().first, s.errors.front().second);
        s.errors.pop_front();
    }
    return Step::Next;
}
