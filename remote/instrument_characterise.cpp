// CHARacterise: the characterisation run with a bench meter (or the board's
// ADC), as the Characterise window makes it: the same session, so that a run
// started at either side is seen at both, and holds the board until it ends.
#include "instrument.h"
#include "params.h"

#include "analysis/results.h"
#include "characterise/session.h"
#include "datafolder.h"
#include "remotelog.h"
#include "sweepfigures.h"

#include <cmath>
#include <cstdio>

using Step = Instrument::Step;
using scpi::Param;
using namespace params;
using CharSession = characterise::Session;  // ::Session is a client's status

namespace {

// What the clients set up for the next run (all clients share it, as they
// share the board).
struct RemoteRun {
    characterise::Plan plan;
    std::string file = "characterisation.txt";  // in the data folder
};

RemoteRun& NextRun()
{
    static RemoteRun next;
    return next;
}

std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string Decimal(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

// A string parameter (-224 without one).
const std::string* Text(Instrument::Ctx& ctx, size_t i, const char* what)
{
    const Param& p = ctx.command.params[i];
    if (p.kind != Param::Kind::String) {
        ctx.session.PushError(scpi::kIllegalParameterValue, std::string("a quoted ") + what + " is needed");
        return nullptr;
    }
    return &p.text;
}

// A file name in the data folder (-257 with the reason).
std::optional<std::string> InDataFolder(Instrument::Ctx& ctx, const std::string& name)
{
    std::string why;
    auto path = name.empty() ? std::nullopt : remote::PathInDataFolder(name, why);
    if (!path) {
        qCInfo(lcRemote, "refused CHARacterise file '%s': %s", name.c_str(), why.c_str());
        ctx.session.PushError(scpi::kFileNameError, name.empty() ? "a file name is needed" : why);
    }
    return path;
}

// The codes of CHARacterise:PLAN:LIST: numbers, or a quoted file name in the data folder.
bool TakeList(Instrument::Ctx& ctx)
{
    characterise::Plan& plan = NextRun().plan;
    const auto& params = ctx.command.params;
    std::vector<int> codes;
    std::string why;
    if (params.size() == 1 && params[0].kind == Param::Kind::String) {
        const auto path = InDataFolder(ctx, params[0].text);
        if (!path)
            return false;
        const auto list = characterise::ReadCodeListFile(*path, 16, why);
        if (!list) {
            ctx.session.PushError(scpi::kFileNameError, why);
            return false;
        }
        codes = *list;
    } else {
        std::vector<bool> seen(65536);
        for (size_t i = 0; i < params.size(); ++i) {
            const auto code = Integer(ctx, i, 0, 65535);
            if (!code)
                return false;
            if (seen[static_cast<size_t>(*code)]) {
                ctx.session.PushError(scpi::kIllegalParameterValue, "code " + Num(*code) + " is listed twice");
                return false;
            }
            seen[static_cast<size_t>(*code)] = true;
            codes.push_back(*code);
        }
    }
    plan.list = std::move(codes);
    plan.codes = characterise::CodeSet::List;
    return true;
}

// Connects the meter of the next run when the session holds none that fits.
bool Connected(Instrument::Ctx& ctx)
{
    CharSession& session = CharSession::Instance();
    std::string why;
    if (session.Busy()) {
        ctx.session.PushError(scpi::kSettingsConflict, "a characterisation run is under way");
        return false;
    }
    if (!session.Connect(NextRun().plan, why)) {
        ctx.session.PushError(scpi::kHardwareError, why);
        return false;
    }
    return true;
}

}  // namespace

Step Instrument::Characterise(Ctx& ctx)
{
    Session& s = ctx.session;
    const bool q = ctx.command.query;
    CharSession& session = CharSession::Instance();
    const characterise::Run* run = session.CurrentRun();
    RemoteRun& next = NextRun();
    const size_t nodes = ctx.command.nodes.size();
    auto settingWhileRunning = [&] {
        if (!session.Busy())
            return false;
        s.PushError(scpi::kSettingsConflict, "a characterisation run is under way");
        return true;
    };

    if (Is(ctx.command, 1, "METer") && nodes == 2) {
        if (q) {
            if (!Count(ctx, 0, 0))
                return Step::Stop;
            ctx.answer = Quoted(next.plan.meter);
            return Step::Next;
        }
        if (!Count(ctx, 1, 1) || settingWhileRunning())
            return Step::Stop;
        const Param& p = ctx.command.params[0];
        if (p.kind == Param::Kind::Word && p.text == "ADC") {
            next.plan.meter = "adc";
            return Step::Next;
        }
        const std::string* address = Text(ctx, 0, "meter address (ADC, \"tcp://HOST[:PORT]\", \"usbtmc:///dev/usbtmcN\")");
        if (!address)
            return Step::Stop;
        std::string why;
        if (*address != "adc" && !meter::ParseAddress(*address, why)) {
            s.PushError(scpi::kIllegalParameterValue, why);
            return Step::Stop;
        }
        next.plan.meter = *address;
    } else if (Is(ctx.command, 1, "PLAN") && nodes == 2) {
        if (q) {
            if (!Count(ctx, 0, 0))
                return Step::Stop;
            ctx.answer = Quoted(characterise::PlanText(next.plan));
            return Step::Next;
        }
        if (!Count(ctx, 1, 1) || settingWhileRunning())
            return Step::Stop;
        const std::string* items = Text(ctx, 0, "plan (\"readings=4;codes=carries\")");
        std::string why;
        if (!items)
            return Step::Stop;
        if (!characterise::ParsePlanText(*items, next.plan, why)) {
            s.PushError(scpi::kIllegalParameterValue, why);
            return Step::Stop;
        }
    } else if (Is(ctx.command, 1, "PLAN") && (Is(ctx.command, 2, "SETTle") || Is(ctx.command, 2, "TIMeout"))) {
        // The plan's settling time and the meter's timeout as times (10MS,
        // 0.01, MIN), kept as the plan's items, which check their bounds.
        const bool settle = Is(ctx.command, 2, "SETTle");
        const characterise::Plan defaults;
        const int ms = settle ? next.plan.settleMs : next.plan.timeoutMs;
        const params::Limits limits{(settle ? 0 : characterise::kMinTimeoutMs) / 1000.0,
                                    (settle ? characterise::kMaxSettleMs : characterise::kMaxTimeoutMs) / 1000.0,
                                    (settle ? defaults.settleMs : defaults.timeoutMs) / 1000.0};
        if (q) {
            if (!Count(ctx, 0, 1))
                return Step::Stop;
            const auto limit = AskedLimit(ctx, 0);
            if (!limit)
                return Step::Stop;
            char text[32];
            std::snprintf(text, sizeof text, "%g", *limit == Limit::None ? ms / 1000.0 : *LimitValue(ctx, *limit, limits));
            ctx.answer = text;
            return Step::Next;
        }
        if (!Count(ctx, 1, 1) || settingWhileRunning())
            return Step::Stop;
        const auto seconds = Number(ctx, 0, 'S', &limits);
        if (!seconds)
            return Step::Stop;
        const double rounded = std::nearbyint(*seconds * 1000.0);
        std::string why;
        if (!(std::fabs(rounded) <= limits.high * 1000.0) ||
            !characterise::ParsePlanText((settle ? "settle-ms=" : "timeout-ms=") + Num(std::llround(rounded)),
                                         next.plan, why)) {
            s.PushError(scpi::kDataOutOfRange, settle ? "0 to 60 s" : "10 ms to 600 s");
            return Step::Stop;
        }
    } else if (Is(ctx.command, 1, "PLAN") && Is(ctx.command, 2, "LIST")) {
        if (q) {
            if (!Count(ctx, 0, 0))
                return Step::Stop;
            for (size_t i = 0; i < next.plan.list.size(); ++i)
                ctx.answer += (i > 0 ? "," : "") + Num(next.plan.list[i]);
            return Step::Next;
        }
        if (!Count(ctx, 1, 65536) || settingWhileRunning() || !TakeList(ctx))
            return Step::Stop;
    } else if (Is(ctx.command, 1, "FILE")) {
        if (q) {
            if (!Count(ctx, 0, 0))
                return Step::Stop;
            ctx.answer = Quoted(next.file);
            return Step::Next;
        }
        if (!Count(ctx, 1, 1) || settingWhileRunning())
            return Step::Stop;
        const std::string* name = Text(ctx, 0, "file name");
        if (!name || !InDataFolder(ctx, *name))
            return Step::Stop;
        next.file = *name;
    } else if (Is(ctx.command, 1, "CONNect") && !q) {
        if (!Count(ctx, 0, 0) || !Connected(ctx))
            return Step::Stop;
    } else if (Is(ctx.command, 1, "IDENtity") && q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = Quoted(session.Connected() ? session.Prepared().meterIdentity : std::string());
    } else if (Is(ctx.command, 1, "ESTimate") && q) {
        if (!Count(ctx, 0, 0) || (!session.Connected() && !Connected(ctx)))
            return Step::Stop;
        ctx.answer = Decimal(session.EstimateSeconds(next.plan).value_or(0));
    } else if (Is(ctx.command, 1, "STARt") && !q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        const auto path = InDataFolder(ctx, next.file);
        if (!path)
            return Step::Stop;
        std::string why;
        if (!session.Start(next.plan, *path, owner::Side::Remote, why)) {
            const bool busy = session.Busy() || owner::Current() != owner::Activity::None;
            s.PushError(busy ? scpi::kSettingsConflict : scpi::kHardwareError, why);
            return Step::Stop;
        }
    } else if ((Is(ctx.command, 1, "PAUSe") || Is(ctx.command, 1, "RESume") || Is(ctx.command, 1, "ABORt")) && !q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        if (Is(ctx.command, 1, "PAUSe"))
            session.Pause();
        else if (Is(ctx.command, 1, "RESume"))
            session.Resume();
        else
            session.Stop();
    } else if (Is(ctx.command, 1, "STATe") && q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = run ? std::string(characterise::StateName(run->state())) : "IDLE";
    } else if (Is(ctx.command, 1, "PROGress") && q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        const auto left = run ? run->SecondsLeft() : std::optional<double>(0.0);
        ctx.answer = Num(run ? static_cast<long long>(run->done()) : 0) + "," +
                     Num(run ? static_cast<long long>(run->total()) : 0) + "," + (left ? Decimal(*left) : "9.91E+37");
    } else if (Is(ctx.command, 1, "MESSage") && q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        ctx.answer = Quoted(run ? run->message() : std::string());
    } else if ((Is(ctx.command, 1, "DATA") || Is(ctx.command, 1, "ANALysis")) && q) {
        if (!Count(ctx, 0, 0))
            return Step::Stop;
        characterise::Results results;
        analysis::ReadError error;
        if (!run || !analysis::ReadResultsFile(session.ResultsPath(), results, error)) {
            s.PushError(scpi::kSettingsConflict, run ? "the results file: " + error.Text() : "no characterisation run yet");
            return Step::Stop;
        }
        std::string& a = ctx.answer;
        if (Is(ctx.command, 1, "ANALysis")) {
            analysis::ChannelAnalysis figures;
            analysis::AnalyseResults(results, results.header.conditions, figures, analysis::ResultsNote(results));
            a = remote::WireJson(analysis::ResultsJson(results, figures));
            return Step::Next;
        }
        for (const auto& c : results.codes)
            a += (a.empty() ? "" : ",") + Num(c.code) + "," + Decimal(c.Mean()) + "," + Decimal(c.Deviation());
    } else {
        s.PushError(scpi::kUndefinedHeader);
        return Step::Stop;
    }
    return Step::Next;
}
