#include "instrument.h"

#include "board/adc.h"
#include "board/owner.h"
#include "remotelog.h"
#include "board/primitives.h"
#include "board/sweeprecord.h"
#include "datafolder.h"
#include "runtime/programend.h"
#include "runtime/runtimeerror.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdlib>

using scpi::Matches;

void Session::PushError(int code, std::string info)
{
    if (onError)
        onError(*this, code, info);
    if (code <= -100 && code > -200)
        esr |= 32;  // command error
    else if (code <= -200 && code > -300)
        esr |= 16;  // execution error
    else if (code <= -400 && code > -500)
        esr |= 4;  // query error
    else
        esr |= 8;  // device-specific error
    if (errors.size() >= kMaxErrors) {
        errors.back() = {scpi::kQueueOverflow, {}};
        return;
    }
    errors.emplace_back(code, std::move(info));
}

int Session::StatusByte() const
{
    int stb = 0;
    if (!errors.empty())
        stb |= 4;
    if ((questionable.event & questionable.enable) != 0)
        stb |= 8;
    if ((esr & ese) != 0)
        stb |= 32;
    if ((operation.event & operation.enable) != 0)
        stb |= 128;
    if ((stb & sre) != 0)
        stb |= 64;
    return stb;
}

namespace {
// The data file, and its companion beside it only where the data folder's
// rules let that name be written too (not a link that leads out, say).
bool saveInDataFolder(const std::string& path, std::string& why)
{
    std::string refused;
    const bool companion = remote::PathInDataFolder(analysis::CompanionPath(path), refused).has_value();
    return sweeprecord::SaveDataFile(path, why, nullptr, companion);
}
}  // namespace

Instrument::Instrument(PanelMirror& mirror, QObject* parent)
    : QObject(parent), saveSweep(saveInDataFolder), mirror_(mirror)
{
    sweepTimer_.setInterval(0);
    QObject::connect(&sweepTimer_, &QTimer::timeout, this, [this] { SweepTick(); });
}

void Instrument::Begin(Session& session, LineRun& line, std::string text)
{
    session.line = text;
    ++session.lineNumber;
    line = LineRun{};
    line.parser = scpi::LineParser(std::move(text));
}

Instrument::Progress Instrument::Next(Session& session, LineRun& line, std::string& out)
{
    auto lineDone = [&] {
        if (line.answered)
            out += '\n';
        line.answered = false;
        line.parser = scpi::LineParser(std::string());
        session.line.clear();
        return Progress::LineDone;
    };
    if (!line.waits && !line.parser.Next(line.command))
        return lineDone();
    std::string answer;
    Ctx ctx{session, line.command, answer};
    const Step step = Execute(ctx);
    if (ctx.rerooted)
        line.parser.Reroot(line.command.typed);
    line.waits = step == Step::Wait;
    if (line.waits)
        return Progress::Waits;
    if (line.command.query && !answer.empty()) {
        if (line.answered)
            out += ';';
        out += answer;
        line.answered = true;
    }
    // After an error the rest of the line is dropped.
    return step == Step::Stop || line.parser.AtEnd() ? lineDone() : Progress::Ran;
}

bool Instrument::Run(Session& session, LineRun& line, std::string& reply)
{
    for (;;) {
        switch (Next(session, line, reply)) {
        case Progress::Waits:
            return false;
        case Progress::LineDone:
            if (!reply.empty() && reply.back() == '\n')
                reply.pop_back();
            return true;
        case Progress::Ran:
            break;
        }
    }
}

bool Instrument::RunText(Session& session, std::string_view text, LineRun& line, std::string& reply)
{
    Begin(session, line, std::string(text));
    reply.clear();
    return Run(session, line, reply);
}

namespace {
// The header as typed, for the log: "DAC:RANG", "*TST?".
std::string HeaderOf(const scpi::Command& command)
{
    std::string text = command.common ? "*" : "";
    for (size_t i = 0; i < command.typed.size(); ++i)
        text += (i > 0 ? ":" : "") + command.typed[i];
    return command.query ? text + "?" : text;
}
}  // namespace

Instrument::Step Instrument::Execute(Ctx& ctx)
{
    // The clients' event registers latch what changed since their last
    // command, and what this one changes.
    struct Latch {
        Instrument& i;
        Session& s;
        void operator()()
        {
            i.RefreshConditions();
            s.operation.Latch(i.operation_);
            s.questionable.Latch(i.questionable_);
        }
        ~Latch() { (*this)(); }
    } latch{*this, ctx.session};
    latch();
    if (ctx.command.error != scpi::kNoError) {
        ctx.session.PushError(ctx.command.error, ctx.command.info);
        return Step::Stop;
    }
    try {
        const owner::Acting remote(owner::Side::Remote);
        return Dispatch(ctx);
    } catch (const owner::Refused& e) {
        qCInfo(lcRemote, "refused %s: %s", HeaderOf(ctx.command).c_str(), e.what());
        ctx.session.PushError(scpi::kSettingsConflict, e.what());
    } catch (const RunTimeError& e) {
        ctx.session.PushError(scpi::kHardwareError, e.text());
    } catch (const ProgramEnded&) {
        // The program is ending (the user gave up a connection): nothing
        // crosses the event loop.
        ctx.session.PushError(scpi::kExecutionError, "the program is ending");
    } catch (const std::exception& e) {
        ctx.session.PushError(scpi::kExecutionError, e.what());
    }
    ctx.answer.clear();
    return Step::Stop;
}

// A command of the tree: its header, optional nodes in brackets, '#' where a
// numbered header names the channel ("DAC2:CODE 100" as "DAC:CODE B,100").
struct Instrument::Node {
    const char* path;
    Instrument::Step (Instrument::*handler)(Instrument::Ctx&);
    int channelAt = -1;       // the parameter that names the channel; -1: none
    bool oneChannel = false;  // a channel list may name one channel only
};

Instrument::Step Instrument::Dispatch(Ctx& ctx)
{
    if (ctx.command.common)
        return Common(ctx);
    static const Node tree[] = {
        {"DAC#:CODE", &Instrument::DacCode, 0},
        {"DAC#:VOLTage", &Instrument::DacVolts, 0},
        {"DAC#:RANGe", &Instrument::DacRange, 0},
        {"DAC:RESolution", &Instrument::DacResolution},
        {"DAC:LOAD", &Instrument::DacLoadClear},
        {"DAC:CLEar", &Instrument::DacLoadClear},
        {"CONTrol:TSD", &Instrument::Control},
        {"CONTrol:CLAMp", &Instrument::Control},
        {"CONTrol:CLRSelect", &Instrument::Control},
        {"CONTrol:SDODisable", &Instrument::Control},
        {"CONTrol:REGister", &Instrument::Control},
        {"POWer:DAC#", &Instrument::Power, 0},
        {"POWer:REFerence", &Instrument::Power},
        {"POWer:ALARm", &Instrument::Power},
        {"POWer:REGister", &Instrument::Power},
        {"PINS:CLR", &Instrument::Pins},
        {"PINS:BIN", &Instrument::Pins},
        {"PINS:LDAC", &Instrument::Pins},
        {"PINS:LDAC:PULSe", &Instrument::Pins},
        {"PINS:WORD", &Instrument::Pins},
        {"REGister:ALL", &Instrument::RegisterAll},
        {"MEASure[:VOLTage][:DC]", &Instrument::Measure, 0},
        {"SWEep:STARt", &Instrument::Sweep},
        {"INITiate[:IMMediate]", &Instrument::Sweep},
        {"ABORt", &Instrument::Sweep},
        {"FETCh[:SWEep]", &Instrument::Sweep, 0, true},
        {"FORMat[:DATA]", &Instrument::Format},
        {"FORMat:BORDer", &Instrument::Format},
        {"SWEep:ABORt", &Instrument::Sweep},
        {"SWEep:STATe", &Instrument::Sweep},
        {"SWEep:PROGress", &Instrument::Sweep},
        {"SWEep:DATA", &Instrument::Sweep, 0, true},
        {"SWEep:SAVE", &Instrument::Sweep},
        {"SWEep:ANALysis", &Instrument::Sweep, 0, true},
        {"CHARacterise:METer", &Instrument::Characterise},
        {"CHARacterise:PLAN", &Instrument::Characterise},
        {"CHARacterise:PLAN:LIST", &Instrument::Characterise},
        {"CHARacterise:PLAN:SETTle", &Instrument::Characterise},
        {"CHARacterise:PLAN:TIMeout", &Instrument::Characterise},
        {"CHARacterise:FILE", &Instrument::Characterise},
        {"CHARacterise:CONNect", &Instrument::Characterise},
        {"CHARacterise:IDENtity", &Instrument::Characterise},
        {"CHARacterise:ESTimate", &Instrument::Characterise},
        {"CHARacterise:STARt", &Instrument::Characterise},
        {"CHARacterise:PAUSe", &Instrument::Characterise},
        {"CHARacterise:RESume", &Instrument::Characterise},
        {"CHARacterise:ABORt", &Instrument::Characterise},
        {"CHARacterise:STATe", &Instrument::Characterise},
        {"CHARacterise:PROGress", &Instrument::Characterise},
        {"CHARacterise:MESSage", &Instrument::Characterise},
        {"CHARacterise:DATA", &Instrument::Characterise},
        {"CHARacterise:ANALysis", &Instrument::Characterise},
        {"SYSTem:ERRor[:NEXT]", &Instrument::System},
        {"SYSTem:ERRor:COUNt", &Instrument::System},
        {"SYSTem:ERRor:ALL", &Instrument::ErrorQueue},
        {"SYSTem:ERRor:CODE[:NEXT]", &Instrument::ErrorQueue},
        {"SYSTem:ERRor:CODE:ALL", &Instrument::ErrorQueue},
        {"STATus:OPERation[:EVENt]", &Instrument::Status},
        {"STATus:OPERation:CONDition", &Instrument::Status},
        {"STATus:OPERation:ENABle", &Instrument::Status},
        {"STATus:OPERation:PTRansition", &Instrument::Status},
        {"STATus:OPERation:NTRansition", &Instrument::Status},
        {"STATus:QUEStionable[:EVENt]", &Instrument::Status},
        {"STATus:QUEStionable:CONDition", &Instrument::Status},
        {"STATus:QUEStionable:ENABle", &Instrument::Status},
        {"STATus:QUEStionable:PTRansition", &Instrument::Status},
        {"STATus:QUEStionable:NTRansition", &Instrument::Status},
        {"STATus:PRESet", &Instrument::Status},
        {"SYSTem:VERSion", &Instrument::System},
        {"SYSTem:BOARD", &Instrument::System},
        {"SYSTem:PANel:CHANged", &Instrument::System},
    };
    // The path rule first; a header that names no command there is taken
    // from the root, as most people write "MEAS:VOLT? A;DAC:CODE B,1".
    for (const auto* nodes : {&ctx.command.nodes, &ctx.command.typed})
        for (const Node& node : tree)
            if (int suffix = -1; scpi::MatchHeader(node.path, *nodes, suffix)) {
                ctx.rerooted = nodes != &ctx.command.nodes;
                return RunNode(node, ctx, *nodes, suffix);
            }
    ctx.session.PushError(scpi::kUndefinedHeader);
    return Step::Stop;
}

namespace {
constexpr size_t kMaxListedChannels = 16;
}

Instrument::Step Instrument::RunNode(const Node& node, Ctx& ctx, const std::vector<std::string>& nodes, int suffix)
{
    using scpi::Param;
    const auto& params = ctx.command.params;
    const auto list = std::find_if(params.begin(), params.end(),
                                   [](const Param& p) { return p.kind == Param::Kind::Channels; });
    if (suffix < 0 && list == params.end()) {
        if (&nodes == &ctx.command.nodes)
            return (this->*node.handler)(ctx);
        scpi::Command rooted = ctx.command;
        rooted.nodes = nodes;
        Ctx again{ctx.session, rooted, ctx.answer};
        return (this->*node.handler)(again);
    }
    Session& s = ctx.session;
    if (node.channelAt < 0 || (suffix >= 0 && list != params.end())) {
        s.PushError(scpi::kParameterNotAllowed, node.channelAt < 0 ? "no channels here" : "a channel list after a numbered header");
        return Step::Stop;
    }
    // The channels, 0..3, checked before any is expanded: a list costs no
    // more than its text.
    std::vector<int> channels;
    if (suffix >= 0) {
        if (suffix < 1 || suffix > 4) {
            s.PushError(scpi::kHeaderSuffixOutOfRange, "channels 1 to 4");
            return Step::Stop;
        }
        channels.push_back(suffix - 1);
    } else {
        size_t count = 0;
        for (const auto& [first, last] : list->channels) {
            if (first < 1 || first > 4 || last < 1 || last > 4) {
                s.PushError(scpi::kIllegalParameterValue, "channels 1 to 4");
                return Step::Stop;
            }
            count += static_cast<size_t>(std::abs(last - first) + 1);
        }
        // One command, one turn of the event loop: a list may not make it
        // as long as a line of commands.
        if (count > kMaxListedChannels) {
            s.PushError(scpi::kTooMuchData, "at most 16 channels in a list");
            return Step::Stop;
        }
        for (const auto& [first, last] : list->channels)
            for (int c = first;; c += last >= first ? 1 : -1) {
                channels.push_back(c - 1);
                if (c == last)
                    break;
            }
        if (node.oneChannel && channels.size() != 1) {
            s.PushError(scpi::kIllegalParameterValue, "one channel at a time");
            return Step::Stop;
        }
    }
    scpi::Command one = ctx.command;
    one.nodes.clear();
    for (const std::string& n : nodes)
        one.nodes.emplace_back(scpi::WithoutSuffix(n));
    if (list != params.end())
        one.params.erase(one.params.begin() + (list - params.begin()));
    const size_t place = std::min(static_cast<size_t>(node.channelAt), one.params.size());
    one.params.insert(one.params.begin() + static_cast<std::ptrdiff_t>(place), Param{Param::Kind::Word, "A", 0.0, 0, {}});
    for (size_t i = 0; i < channels.size(); ++i) {
        one.params[place].text[0] = static_cast<char>('A' + channels[i]);
        std::string answer;
        Ctx each{s, one, answer, i};
        const Step step = (this->*node.handler)(each);
        if (step != Step::Next)
            return step;
        if (i > 0 && !answer.empty())
            ctx.answer += ',';
        ctx.answer += answer;
    }
    return Step::Next;
}

void Instrument::ShowAll(const ops::AllRegisters& all)
{
    for (int c = 0; c < 4; ++c) {
        mirror_.ShowCode(c, all.codes[static_cast<size_t>(c)]);
        mirror_.ShowRange(c, all.ranges[static_cast<size_t>(c)]);
    }
    mirror_.ShowPower(all.power, true);
    mirror_.ShowControl(all.control);
    mirror_.ShowPins();
}

void Instrument::Reset()
{
    if (sweepRunning_)
        FinishSweep();
    SetBoardStartValues();
    mirror_.ShowResolution(16);
    mirror_.ShowPulseLdac(true);
    // The device as after power-on: every channel and the reference powered
    // down (one frame), every range +5V, every code 0, the control register 0.
    State.PowerData = 0;
    ops::SetPowerBit(4, false);
    for (int16_t c = 0; c < 4; ++c)
        ops::WriteRange(c, 0);
    for (int16_t c = 0; c < 4; ++c)
        ops::WriteDacCode(c, 0);
    State.ControlData = 0;
    ops::SetControlBit(0, false);
    ShowAll(ops::StartUpTraffic());
}

void Instrument::SweepTick()
{
    // Steps for a few milliseconds, then back to the event loop, where the
    // other commands are served.
    QElapsedTimer spent;
    spent.start();
    bool failed = false;
    try {
        while (sweepRunning_ && sweepNext_ < State.SampleCount && spent.nsecsElapsed() < 4'000'000) {
            ops::SweepStep(sweepNext_);
            ++sweepNext_;
        }
    } catch (const RunTimeError&) {
        failed = true;  // the board link failed: the sweep ends where it stood
    }
    if (sweepRunning_ && (failed || sweepNext_ >= State.SampleCount))
        FinishSweep();
}

void Instrument::FinishSweep()
{
    sweepTimer_.stop();
    sweepRunning_ = false;
    operation_.Set(status::kSweeping, false);
    owner::Release();
    emit Idle();
}
