#include "session.h"

#include "boardport.h"

#include "board/identity.h"

#include <QSocketNotifier>
#include <cmath>
#include <ctime>

#ifndef QV_PROGRAM_VERSION
#define QV_PROGRAM_VERSION "0"
#endif

namespace characterise {
namespace {

std::string UtcNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

// The parts of a plan that the meter's set-up depends on.
bool SameSetup(const Plan& a, const Plan& b)
{
    return a.meter == b.meter && a.channel == b.channel && a.nplc == b.nplc && a.autoZero == b.autoZero &&
           a.setupStyle == b.setupStyle && a.digits == b.digits && a.timeoutMs == b.timeoutMs;
}

bool SameConditions(const analysis::Conditions& a, const analysis::Conditions& b)
{
    return a.range == b.range && a.coding == b.coding && a.resolution == b.resolution;
}

// How often a missing answer is looked for: a meter that does not answer is
// given up at most this long after its timeout.
constexpr int kWatchdogMs = 50;

BoardCodes& Codes()
{
    static BoardCodes codes;
    return codes;
}

}  // namespace

std::string_view StateName(RunState state)
{
    switch (state) {
    case RunState::Running: return "RUNNING";
    case RunState::Paused: return "PAUSED";
    case RunState::Done: return "DONE";
    case RunState::Stopped: return "STOPPED";
    case RunState::Failed: return "FAILED";
    }
    return "";
}

Session& Session::Instance()
{
    static Session* session = new Session;  // lives as long as the event loop it serves
    return *session;
}

Session::Session()
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Session::Tick);
    watchdog_.setInterval(kWatchdogMs);
    connect(&watchdog_, &QTimer::timeout, this, [this] {
        if (answerDue_ && Clock::now() >= *answerDue_) {
            answerDue_.reset();
            Tick();
        }
    });
}

Session::~Session() = default;

bool Session::Connect(const Plan& plan, std::string& why)
{
    if (Busy()) {
        why = "a characterisation run is under way";
        return false;
    }
    source_.reset();
    notifier_.reset();
    const auto conditions = ChannelConditions(plan.channel);
    if (!conditions) {
        why = std::string("channel ") + static_cast<char>('A' + plan.channel) + "'s range register names no output range";
        return false;
    }
    ResultsHeader header;
    header.channel = plan.channel;
    header.conditions = *conditions;
    try {
        if (plan.UsesAdc()) {
            source_ = std::make_unique<AdcSource>(plan.channel);
            DescribeAdc(header);
        } else {
            source_ = ConnectMeter(plan, LargestOutput(*conditions), header);
        }
        secondsPerReading_ = TimeOneReading(*source_);
    } catch (const std::exception& e) {
        source_.reset();
        why = e.what();
        return false;
    }
    header_ = header;
    connectedPlan_ = plan;
    return true;
}

std::optional<double> Session::EstimateSeconds(const Plan& plan) const
{
    if (!Connected())
        return std::nullopt;
    return characterise::EstimateSeconds(plan, Codes(plan, header_.conditions.resolution).size(), secondsPerReading_);
}

bool Session::Start(const Plan& plan, const std::string& path, owner::Side side, std::string& why)
{
    if (Busy()) {
        why = "a characterisation run is under way";
        return false;
    }
    if (owner::Current() != owner::Activity::None) {
        why = "the board is busy: " + owner::Take(owner::Activity::Characterisation, side);
        return false;
    }
    if (plan.codes == CodeSet::List && plan.list.empty()) {
        why = "the plan lists no codes";
        return false;
    }
    const auto conditions = ChannelConditions(plan.channel);
    if (!Connected() || !SameSetup(plan, connectedPlan_) || !conditions || !SameConditions(*conditions, header_.conditions))
        if (!Connect(plan, why))
            return false;
    std::vector<int> codes = characterise::Codes(plan, header_.conditions.resolution);
    if (codes.empty()) {
        why = "the plan holds no code at " + std::to_string(header_.conditions.resolution) + " bits";
        return false;
    }
    header_.channel = plan.channel;
    header_.plan = PlanText(plan);
    header_.readingsPerCode = plan.readings;
    header_.program = "QV4816X " QV_PROGRAM_VERSION;
    header_.started = UtcNow();
    header_.board = CurrentBoardIdentity().text;
    header_.codesPlanned = codes.size();
    if (const std::string held = owner::Take(owner::Activity::Characterisation, side); !held.empty()) {
        why = "the board is busy: " + held;
        return false;
    }
    auto writer = std::make_unique<ResultsWriter>();
    if (!writer->Open(path, header_, why)) {
        owner::Release();
        return false;
    }
    writer_ = std::move(writer);
    path_ = path;
    run_ = std::make_unique<Run>(plan, std::move(codes), Codes(), *source_, *writer_);
    run_->SetEstimatePerCode(plan.settleMs / 1000.0 + plan.readings * secondsPerReading_);
    run_->onCode = [this](const CodeResult&) { emit Changed(); };
    Schedule({Wait::Kind::Now});
    emit Changed();
    return true;
}

void Session::Pause()
{
    if (run_)
        run_->Pause();
}

void Session::Resume()
{
    if (!run_ || run_->state() != RunState::Paused)
        return;
    run_->Resume();
    Schedule({Wait::Kind::Now});
    emit Changed();
}

void Session::Stop()
{
    if (!Busy())
        return;
    run_->Stop();
    if (!ticking_)  // otherwise the step under way finishes it when it returns
        Finished();
}

void Session::Reset()
{
    Stop();
    if (ticking_)
        return;  // asked from within a step: the run stops, and is kept until it returns
    run_.reset();
    writer_.reset();
    source_.reset();
    notifier_.reset();
    path_.clear();
}

void Session::Schedule(const Wait& wait)
{
    switch (wait.kind) {
    case Wait::Kind::Now:
        timer_.start(0);
        break;
    case Wait::Kind::Until:
        timer_.start(meter::MillisecondsLeft(wait.until));
        break;
    case Wait::Kind::Readable:
        // The notifier stays on for the run: the meter's line carries nothing
        // but the answers asked for, and each is taken when it is told of.
        // The answer's deadline is kept by the watchdog, not by a timer of
        // each reading: a reading costs no timer of its own.
        if (!notifier_ || notifier_->socket() != wait.fd) {
            notifier_ = std::make_unique<QSocketNotifier>(wait.fd, QSocketNotifier::Read);
            connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
                if (!answerDue_) {
                    // Bytes nobody asked for (or the line closing) while the
                    // output settles: looked at with the next answer.
                    notifier_->setEnabled(false);
                    return;
                }
                answerDue_.reset();
                Tick();
            });
        }
        if (!notifier_->isEnabled())
            notifier_->setEnabled(true);
        answerDue_ = wait.until;
        if (!watchdog_.isActive())
            watchdog_.start();
        break;
    case Wait::Kind::Idle:
        break;
    }
}

void Session::Tick()
{
    if (!run_ || run_->Ended())
        return;
    const RunState before = run_->state();
    ticking_ = true;
    const Wait wait = run_->Advance();
    ticking_ = false;
    if (run_->Ended()) {
        Finished();
        return;
    }
    if (run_->state() != before)
        emit Changed();
    Schedule(wait);
}

void Session::Finished()
{
    owner::Release();
    timer_.stop();
    watchdog_.stop();
    answerDue_.reset();
    notifier_.reset();
    // After anything but a finished plan the meter may still owe an answer,
    // or be gone: the next run connects afresh.
    if (run_->state() != RunState::Done)
        source_.reset();
    emit Changed();
    emit Ended();
}

}  // namespace characterise
