// The command tree's handlers for the board: DAC codes, volts, ranges and
// resolution, LOAD and CLEAR, the control and power control registers, the
// pins, read-all and measurement.
#include "instrument.h"
#include "params.h"

#include "analysis/ranges.h"
#include "board/adc.h"
#include "board/owner.h"
#include "board/primitives.h"
#include "runtime/numtext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using Step = Instrument::Step;
using scpi::Param;
using namespace params;

namespace {
// ---- output ranges, by range code: the one table of the analysis.
const analysis::Range& RangeOf(int range) { return analysis::Ranges()[static_cast<size_t>(range)]; }

bool TwosComplement(int range) { return RangeOf(range).bipolar && State.BinPin == 0; }

// The nearest code for `volts` at the resolution, range and coding; nullopt
// outside the range (its nominal ends included).
std::optional<int32_t> VoltsToCode(double volts, int range)
{
    const double full = std::ldexp(1.0, State.ResolutionBits);
    const double low = RangeOf(range).lo;
    const double high = RangeOf(range).hi;
    if (!(volts >= low && volts <= high))
        return std::nullopt;
    auto code = static_cast<int32_t>(std::nearbyint((volts - low) / (high - low) * full));
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
    return RangeOf(range).lo + (RangeOf(range).hi - RangeOf(range).lo) * code / full;
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
}  // namespace

int32_t Instrument::ReadCode(int channel)
{
    const int32_t code = ops::ReadDacCode(static_cast<int16_t>(channel));
    mirror_.ShowCode(channel, code);
    return code;
}

void Instrument::WriteCode(int channel, int32_t code)
{
    ops::WriteDacCode(static_cast<int16_t>(channel), code);
    mirror_.ShowCode(channel, code);
}

Step Instrument::DacCode(Ctx& ctx)
{
    if (!Count(ctx, ctx.command.query ? 1 : 2, 2))
        return Step::Stop;
    const auto ch = Channel(ctx, 0);
    if (!ch)
        return Step::Stop;
    const Limits limits{0, static_cast<double>(ops::LargestCode(State.ResolutionBits)), 0.0};
    if (ctx.command.query) {
        const auto limit = AskedLimit(ctx, 1);
        if (!limit)
            return Step::Stop;
        ctx.answer = *limit == Limit::None ? Num(ReadCode(*ch)) : Num(std::lround(*LimitValue(ctx, *limit, limits)));
        return Step::Next;
    }
    const auto code = Integer(ctx, 1, limits.low, limits.high, limits.def);
    if (!code)
        return Step::Stop;
    WriteCode(*ch, *code);
    return Step::Next;
}

Step Instrument::DacVolts(Ctx& ctx)
{
    if (!Count(ctx, ctx.command.query ? 1 : 2, 2))
        return Step::Stop;
    const auto ch = Channel(ctx, 0);
    if (!ch)
        return Step::Stop;
    const int range = ops::RangeKnown(*ch);
    if (range < 0 || range > 5) {
        ctx.session.PushError(scpi::kSettingsConflict, "the channel's range is not known: set or read DAC:RANGe");
        return Step::Stop;
    }
    // MINimum and MAXimum are the ends of the range, DEFault the volts of code 0.
    const Limits limits{RangeOf(range).lo, RangeOf(range).hi, CodeToVolts(0, range)};
    if (ctx.command.query) {
        const auto limit = AskedLimit(ctx, 1);
        if (!limit)
            return Step::Stop;
        ctx.answer = VoltsText(*limit == Limit::None ? CodeToVolts(ReadCode(*ch), range)
                                                     : *LimitValue(ctx, *limit, limits));
        return Step::Next;
    }
    const auto volts = Number(ctx, 1, 'V', &limits);
    if (!volts)
        return Step::Stop;
    const auto code = VoltsToCode(*volts, range);
    if (!code) {
        ctx.session.PushError(scpi::kDataOutOfRange);
        return Step::Stop;
    }
    WriteCode(*ch, *code);
    return Step::Next;
}

Step Instrument::DacRange(Ctx& ctx)
{
    if (!Count(ctx, ctx.command.query ? 1 : 2, 2))
        return Step::Stop;
    const auto ch = Channel(ctx, 0);
    if (!ch)
        return Step::Stop;
    // By range code: MINimum +5V, MAXimum ±10.8V, DEFault +5V (the power-on range).
    const Limits limits{0, 5, 0.0};
    if (ctx.command.query) {
        const auto limit = AskedLimit(ctx, 1);
        if (!limit)
            return Step::Stop;
        if (*limit != Limit::None) {
            ctx.answer = RangeOf(static_cast<int>(*LimitValue(ctx, *limit, limits))).mnemonic;
            return Step::Next;
        }
        const int32_t code = ops::ReadRange(static_cast<int16_t>(*ch));
        mirror_.ShowRange(*ch, code);
        ctx.answer = code >= 0 && code <= 5 ? std::string(RangeOf(code).mnemonic) : Num(code);
        return Step::Next;
    }
    const Param& p = ctx.command.params[1];
    int range = -1;
    if (p.kind == Param::Kind::Word && LimitOf(p) == Limit::None) {
        for (int r = 0; r < 6; ++r)
            if (p.text == RangeOf(r).mnemonic)
                range = r;
        if (range < 0) {
            ctx.session.PushError(scpi::kIllegalParameterValue, "UNI5, UNI10, UNI10P8, BIP5, BIP10, BIP10P8 or 0 to 5");
            return Step::Stop;
        }
    } else {
        const auto v = Integer(ctx, 1, limits.low, limits.high, limits.def);
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
    const Limits limits{12, 16, 16.0};
    if (ctx.command.query) {
        if (!Count(ctx, 0, 1))
            return Step::Stop;
        const auto limit = AskedLimit(ctx, 0);
        if (!limit)
            return Step::Stop;
        ctx.answer = Num(*limit == Limit::None ? State.ResolutionBits : std::lround(*LimitValue(ctx, *limit, limits)));
        return Step::Next;
    }
    if (!Count(ctx, 1, 1))
        return Step::Stop;
    const auto bits = Integer(ctx, 0, limits.low, limits.high, limits.def);
    if (!bits)
        return Step::Stop;
    if (*bits != 12 && *bits != 14 && *bits != 16) {
        ctx.session.PushError(scpi::kIllegalParameterValue, "12, 14 or 16");
        return Step::Stop;
    }
    owner::CheckWrite();  // a setting of the board's, refused like its writes
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
    owner::CheckWrite();  // LDAC pulsing changes every frame the sweep sends
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
    bool clipped = false;
    for (int c = first; c <= last; ++c) {
        const float volts = MeasureChannel(c);
        // At either end of the ADC's codes the output may lie beyond it.
        clipped = clipped || volts <= AdcCodeToVolts(0) || volts >= AdcCodeToVolts(kAdcCodeMask);
        mirror_.ShowVolts(c, volts);
        if (c > first)
            ctx.answer += ',';
        ctx.answer += FormatVolts4(volts);
    }
    // Over a channel list, any reading of it at a limit.
    const bool before = ctx.listIndex > 0 && (questionable_.bits >> status::kVoltage & 1) != 0;
    questionable_.Set(status::kVoltage, clipped || before);
    return Step::Next;
}
