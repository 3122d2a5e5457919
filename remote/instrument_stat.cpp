// The STATus subsystem (OPERation and QUEStionable registers) and the whole
// error queue at once (SYSTem:ERRor:ALL?, SYSTem:ERRor:CODE...?).
#include "instrument.h"
#include "params.h"

#include "board/owner.h"
#include "board/primitives.h"

using Step = Instrument::Step;
using namespace params;

void Condition::Set(int bit, bool on)
{
    const int mask = 1 << bit;
    if (((bits & mask) != 0) == on)
        return;
    bits ^= mask;
    ++(on ? rises : falls)[static_cast<size_t>(bit)];
}

void StatusRegister::Latch(const Condition& c)
{
    for (size_t bit = 0; bit < 16; ++bit) {
        // A client that has not looked yet takes the counts as they stand:
        // transitions before it came are none of its business.
        if (seen && rises[bit] != c.rises[bit] && (ptr >> bit & 1) != 0)
            event |= 1 << bit;
        if (seen && falls[bit] != c.falls[bit] && (ntr >> bit & 1) != 0)
            event |= 1 << bit;
    }
    rises = c.rises;
    falls = c.falls;
    seen = true;
}

void Instrument::PanelChanged()
{
    operation_.Set(status::kPanelChanged, true);
    operation_.Set(status::kPanelChanged, false);
}

void Instrument::RefreshConditions()
{
    // A sweep or self-test of the test window counts as much as a client's,
    // and every change made at the panel since the last look is one pulse.
    operation_.Set(status::kSweeping, sweepRunning_ || owner::Current() == owner::Activity::Sweep);
    operation_.Set(status::kSelfTesting, testRunning_ || owner::Current() == owner::Activity::SelfTest);
    operation_.Set(status::kCharacterising,
                   characterising_ || owner::Current() == owner::Activity::Characterisation);
    if (const uint64_t changes = owner::PanelChanges(); changes != panelChanges_) {
        panelChanges_ = changes;
        PanelChanged();
    }
    // Over-current A-D in bits 7-10, thermal shutdown in bit 5.
    questionable_.Set(status::kCurrent, (State.PowerData & 0x780) != 0);
    questionable_.Set(status::kTemperature, (State.PowerData & 0x20) != 0);
}

Step Instrument::Status(Ctx& ctx)
{
    const scpi::Command& c = ctx.command;
    Session& s = ctx.session;
    if (Is(c, 1, "PRESet")) {
        if (c.query || c.nodes.size() != 2) {
            s.PushError(scpi::kUndefinedHeader);
            return Step::Stop;
        }
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        s.operation.Preset();
        s.questionable.Preset();
        return Step::Next;
    }
    const bool oper = Is(c, 1, "OPERation");
    StatusRegister& r = oper ? s.operation : s.questionable;
    const Condition& condition = oper ? operation_ : questionable_;
    const bool event = c.nodes.size() == 2 || Is(c, 2, "EVENt");
    if (event || Is(c, 2, "CONDition")) {
        if (!c.query) {
            s.PushError(scpi::kUndefinedHeader, "query only");
            return Step::Stop;
        }
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = Num(event ? r.event : condition.bits);
        if (event)
            r.event = 0;  // reading the event register clears it
        return Step::Next;
    }
    int& value = Is(c, 2, "ENABle") ? r.enable : Is(c, 2, "PTRansition") ? r.ptr : r.ntr;
    if (c.query) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = Num(value);
        return Step::Next;
    }
    if (!Count(ctx, 1, 1))
        return Step::Stop;
    const auto v = Integer(ctx, 0, 0, 65535);
    if (!v)
        return Step::Stop;
    value = *v & 0x7FFF;  // bit 15 is always 0
    return Step::Next;
}

Step Instrument::ErrorQueue(Ctx& ctx)
{
    Session& s = ctx.session;
    // SYSTem:ERRor:ALL?, :CODE?, :CODE:NEXT?, :CODE:ALL?
    const bool code = Is(ctx.command, 2, "CODE");
    const bool all = Is(ctx.command, 2, "ALL") || Is(ctx.command, 3, "ALL");
    if (!ctx.command.query) {
        s.PushError(scpi::kUndefinedHeader, "query only");
        return Step::Stop;
    }
    if (!Count(ctx, 0, 0))
        return Step::Stop;
    std::string& a = ctx.answer;
    do {
        if (!a.empty())
            a += ',';
        if (s.errors.empty()) {
            a += code ? "0" : scpi::ErrorLine(0);
            break;
        }
        a += code ? Num(s.errors.front().first) : scpi::ErrorLine(s.errors.front().first, s.errors.front().second);
        s.errors.pop_front();
    } while (all && !s.errors.empty());
    return Step::Next;
}
