// The command tree's handlers for the common commands, the self-test, the
// sweep and the system subtree.
#include "instrument.h"
#include "params.h"

#include "board/boardlink.h"
#include "board/identity.h"
#include "board/owner.h"
#include "board/primitives.h"
#include "runtime/runtimeerror.h"
#include "datafolder.h"
#include "remotelog.h"
#include "sweepfigures.h"

#include <algorithm>
#include <cstdio>

using Step = Instrument::Step;
using scpi::Param;
using namespace params;

namespace {
std::string VersionText()
{
    const Edition& e = CurrentEdition();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d.%02d.%04d", e.major, e.minor, e.revision);
    return buf;
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
        ctx.answer = "QV,QV4816X," + CurrentBoardIdentity().serial + "," + VersionText();
    } else if (name == "RST" && !q) {
        if (!noParams())
            return Step::Stop;
        owner::CheckWrite();  // a running sweep or self-test is nobody's to reset
        Reset();
        s.realBits = 0;
        s.swapped = false;
    } else if (name == "CLS" && !q) {
        if (!noParams())
            return Step::Stop;
        s.errors.clear();
        s.esr = 0;
        s.operation.event = 0;
        s.questionable.event = 0;
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
    } else if ((name == "LRN" && q) || ((name == "SAV" || name == "RCL") && !q)) {
        return Setup(ctx);
    } else if (name == "OPT" && q) {
        if (!noParams())
            return Step::Stop;
        ctx.answer = "0";  // no options
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
    // One owner at a time: a self-test during any sweep or self-test is refused.
    if (const std::string held = owner::Take(owner::Activity::SelfTest, owner::Side::Remote); !held.empty()) {
        s.PushError(scpi::kSettingsConflict, held);
        return Step::Stop;
    }
    std::string why;
    try {
        why = connect ? connect() : std::string();
    } catch (...) {
        owner::Release();  // never left held by a connection that failed
        throw;
    }
    if (!why.empty()) {
        owner::Release();
        s.PushError(scpi::kSelfTestFailed, why);
        ctx.answer = "1";
        return Step::Next;
    }
    testRunning_ = true;
    operation_.Set(status::kSelfTesting, true);
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
        operation_.Set(status::kSelfTesting, false);
        owner::Release();
        emit Idle();
    });
    return Step::Wait;
}

Step Instrument::Sweep(Ctx& ctx)
{
    Session& s = ctx.session;
    const bool q = ctx.command.query;
    // Whoever started it: the test window's sweep counts as much as a client's.
    const bool running = owner::Current() == owner::Activity::Sweep;
    auto refuseWhileRunning = [&] {
        if (!running)
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
    // The names instruments use beside the SWEep subtree's: INITiate[:IMMediate]
    // starts, ABORt stops, FETCh[:SWEep]? answers the data.
    const bool start = Is(ctx.command, 1, "STARt") || Is(ctx.command, 0, "INITiate");
    const bool abort = Is(ctx.command, 1, "ABORt") || (ctx.command.nodes.size() == 1 && Is(ctx.command, 0, "ABORt"));
    const bool data = Is(ctx.command, 1, "DATA") || Is(ctx.command, 0, "FETCh");
    if (start && !q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        if (const std::string held = owner::Take(owner::Activity::Sweep, owner::Side::Remote); !held.empty()) {
            s.PushError(scpi::kSettingsConflict, held);
            return Step::Stop;
        }
        ops::StartSweepArrays();
        sweepNext_ = 0;
        sweepRunning_ = true;
        operation_.Set(status::kSweeping, true);
        sweepTimer_.start();
    } else if (abort && !q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        if (running && !sweepRunning_) {  // the test window's: its own Stop ends it
            s.PushError(scpi::kSettingsConflict, "a sweep is running in the test window");
            return Step::Stop;
        }
        if (sweepRunning_)
            FinishSweep();
    } else if (Is(ctx.command, 1, "STATe") && q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = running ? "RUN" : "IDLE";
    } else if (Is(ctx.command, 1, "PROGress") && q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = Num(owner::Progress()) + "," + Num(ops::kSweepSamples);
    } else if (data && q) {
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
        const size_t from = std::min(static_cast<size_t>(*first), v.size());
        ctx.answer = DataAnswer(s, v.data() + from, std::min(static_cast<size_t>(*count), v.size() - from));
    } else if (Is(ctx.command, 1, "SAVE") && !q) {
        if (!Count(ctx, 1, 1) || refuseWhileRunning() || !needData())
            return Step::Stop;
        const Param& p = ctx.command.params[0];
        if (p.kind != Param::Kind::String || p.text.empty()) {
            s.PushError(scpi::kFileNameError, "a quoted file name is needed");
            return Step::Stop;
        }
        const std::string_view name = std::string_view(p.text).substr(p.text.find_last_of('/') + 1);
        if (!name.empty() && name.find_first_not_of(" \t") == std::string_view::npos) {
            s.PushError(scpi::kFileNameError, "a file name is needed");
            return Step::Stop;
        }
        std::string why = "saving is not available";
        const std::optional<std::string> path = remote::PathInDataFolder(p.text, why);
        if (!path) {
            qCInfo(lcRemote, "refused SWEep:SAVE: %s", why.c_str());
            s.PushError(scpi::kFileNameError, why);
            return Step::Stop;
        }
        if (!saveSweep || !saveSweep(*path, why)) {
            s.PushError(scpi::kFileNameError, why);
            return Step::Stop;
        }
    } else if (Is(ctx.command, 1, "ANALysis") && q) {
        if (!Count(ctx, 0, 1) || refuseWhileRunning() || !needData())
            return Step::Stop;
        std::optional<int> ch = 4;
        if (!ctx.command.params.empty() && !(ch = Channel(ctx, 0, true)))
            return Step::Stop;
        ctx.answer = remote::SweepFiguresJson(*ch);
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
    } else if (Is(ctx.command, 1, "BOARD")) {
        ctx.answer = CurrentBoardIdentity().text;
    } else if (Is(ctx.command, 1, "PANel")) {
        const uint64_t now = owner::PanelChanges();
        ctx.answer = now != s.panelSeen ? "1" : "0";
        s.panelSeen = now;
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
