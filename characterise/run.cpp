#include "run.h"

#include <poll.h>
#include <stdexcept>
#include <thread>

namespace characterise {
namespace {

using meter::MillisecondsLeft;

}  // namespace

Run::Run(const Plan& plan, std::vector<int> codes, CodeSink& sink, ReadingSource& source, ResultsWriter& writer)
    : plan_(plan), codes_(std::move(codes)), sink_(sink), source_(source), writer_(writer), started_(Clock::now())
{
    readings_.reserve(static_cast<size_t>(plan_.readings));
}

void Run::End(RunState state, const std::string& message)
{
    state_ = state;
    message_ = message;
    std::string why;
    const std::string end = state == RunState::Done ? "done" : state == RunState::Stopped ? "stopped" : "failed: " + message;
    if (!writer_.Finish(end, why) && state != RunState::Failed) {
        state_ = RunState::Failed;
        message_ = why;
    }
}

void Run::Pause()
{
    if (state_ == RunState::Running)
        pauseAsked_ = true;
}

void Run::Resume()
{
    pauseAsked_ = false;
    if (state_ != RunState::Paused)
        return;
    pausedFor_ += Clock::now() - pausedAt_;
    state_ = RunState::Running;
}

void Run::Stop()
{
    if (!Ended())
        End(RunState::Stopped, "stopped after " + std::to_string(next_) + " of " + std::to_string(codes_.size()) + " codes");
}

double Run::RunningSeconds() const
{
    const auto now = state_ == RunState::Paused ? pausedAt_ : Clock::now();
    return std::chrono::duration<double>(now - started_ - pausedFor_).count();
}

std::optional<double> Run::SecondsLeft() const
{
    if (Ended())
        return 0.0;
    const size_t left = codes_.size() - next_;
    if (next_ > 0)
        return RunningSeconds() / static_cast<double>(next_) * static_cast<double>(left);
    if (estimatePerCode_)
        return *estimatePerCode_ * static_cast<double>(left);
    return std::nullopt;
}

Wait Run::Advance()
{
    if (state_ != RunState::Running)
        return {Wait::Kind::Idle};
    try {
        return Step();
    } catch (const std::exception& e) {
        End(RunState::Failed, e.what());
    }
    return {Wait::Kind::Idle};
}

// Runs on until a wait is needed or a code is in.
Wait Run::Step()
{
    for (;;) {
        switch (phase_) {
        case Phase::WriteCode:
            if (next_ == codes_.size()) {
                End(RunState::Done, {});
                return {Wait::Kind::Idle};
            }
            if (pauseAsked_) {
                pauseAsked_ = false;
                state_ = RunState::Paused;
                pausedAt_ = Clock::now();
                return {Wait::Kind::Idle};
            }
            sink_.WriteCode(plan_.channel, codes_[next_]);
            readings_.clear();
            phase_ = Phase::Settling;
            settledAt_ = Clock::now() + std::chrono::milliseconds(plan_.settleMs);
            if (plan_.settleMs > 0)
                return {Wait::Kind::Until, settledAt_};
            break;
        case Phase::Settling:
            if (Clock::now() < settledAt_)
                return {Wait::Kind::Until, settledAt_};
            phase_ = Phase::StartReading;
            break;
        case Phase::StartReading:
            source_.Start();
            deadline_ = Clock::now() + source_.Timeout();
            phase_ = Phase::Reading;
            if (source_.WatchFd() >= 0)
                return {Wait::Kind::Readable, deadline_, source_.WatchFd()};
            break;
        case Phase::Reading: {
            if (source_.WatchFd() >= 0 && !source_.Ready()) {
                if (Clock::now() < deadline_)
                    return {Wait::Kind::Readable, deadline_, source_.WatchFd()};
                throw std::runtime_error(meter::NoAnswerText(source_.Name(), source_.Timeout()));
            }
            readings_.push_back(source_.Finish());
            if (readings_.size() < static_cast<size_t>(plan_.readings)) {
                phase_ = Phase::StartReading;
                break;
            }
            CodeResult result{codes_[next_], RunningSeconds(), readings_};
            std::string why;
            if (!writer_.Append(result, why))
                throw std::runtime_error("the results file: " + why);
            ++next_;
            phase_ = Phase::WriteCode;
            if (onCode)
                onCode(result);  // which may stop the run: then the source may be gone
            if (state_ != RunState::Running)
                return {Wait::Kind::Idle};
            // A meter's answers give the caller's events their turn; a source
            // that cannot be watched gives it here, once per code.
            if (source_.WatchFd() < 0)
                return {Wait::Kind::Now};
            break;
        }
        }
    }
}

RunState RunToEnd(Run& run)
{
    for (;;) {
        const Wait w = run.Advance();
        switch (w.kind) {
        case Wait::Kind::Now:
            break;
        case Wait::Kind::Until:
            std::this_thread::sleep_until(w.until);
            break;
        case Wait::Kind::Readable: {
            pollfd p{w.fd, POLLIN, 0};
            ::poll(&p, 1, MillisecondsLeft(w.until));
            break;
        }
        case Wait::Kind::Idle:
            return run.state();
        }
    }
}

double EstimateSeconds(const Plan& plan, size_t codes, double secondsPerReading)
{
    return static_cast<double>(codes) * (plan.settleMs / 1000.0 + plan.readings * secondsPerReading);
}

double TimeOneReading(ReadingSource& source)
{
    const auto begin = Clock::now();
    source.Start();
    if (source.WatchFd() >= 0) {
        const auto deadline = begin + source.Timeout();
        pollfd p{source.WatchFd(), POLLIN, 0};
        while (!source.Ready()) {
            if (Clock::now() >= deadline)
                throw std::runtime_error(meter::NoAnswerText(source.Name(), source.Timeout()));
            ::poll(&p, 1, MillisecondsLeft(deadline));
        }
    }
    source.Finish();
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

}  // namespace characterise
