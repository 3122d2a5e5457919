#pragma once
// The run engine: code by code, it writes the DAC code, waits for the output
// to settle, takes the plan's readings and appends the code to the results
// file at once. It never blocks on its own: each Advance does the next small
// step and says what to wait for before the next one (a time, or a meter's
// answer on a descriptor), so that a window's event loop or a plain loop
// (RunToEnd) can drive it. Pause takes effect between codes; Stop at once
// (a code whose readings are not all in is not written).
#include "plan.h"
#include "results.h"

#include "meter/transport.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace characterise {

using meter::Clock;

// What the run needs of the board: one channel's DAC code written.
class CodeSink {
public:
    virtual ~CodeSink() = default;
    virtual void WriteCode(int channel, int code) = 0;
};

// Where the readings come from: a bench meter or the board's own ADC.
class ReadingSource {
public:
    virtual ~ReadingSource() = default;
    virtual void Start() = 0;  // begins one reading
    // Turns readable when the reading can be taken; -1 when it cannot be
    // watched (Finish then takes it, within the timeout).
    virtual int WatchFd() const = 0;
    virtual bool Ready() = 0;     // Finish would not wait
    virtual double Finish() = 0;  // the reading, in volts; throws on failure
    virtual std::chrono::milliseconds Timeout() const = 0;
    virtual std::string Name() const = 0;  // as messages name it
};

enum class RunState { Running, Paused, Done, Stopped, Failed };

// What to wait for before the next Advance.
struct Wait {
    enum class Kind {
        Now,       // nothing: call again (the caller's events may run first)
        Until,     // a time (settling)
        Readable,  // `fd` readable, or `until` passed
        Idle,      // paused, or ended: nothing until Resume (or never)
    };
    Kind kind = Kind::Now;
    Clock::time_point until{};
    int fd = -1;
};

class Run {
public:
    // `codes`: in the order they are measured. The writer must be open.
    Run(const Plan& plan, std::vector<int> codes, CodeSink& sink, ReadingSource& source, ResultsWriter& writer);

    Wait Advance();
    void Pause();
    void Resume();
    void Stop();

    RunState state() const { return state_; }
    bool Ended() const { return state_ == RunState::Done || state_ == RunState::Stopped || state_ == RunState::Failed; }
    size_t done() const { return next_; }
    size_t total() const { return codes_.size(); }
    // Why it failed, or what stopped it.
    const std::string& message() const { return message_; }
    // Seconds the rest will take, from the pace so far (or from `estimate`
    // per code before the first code is in); nothing when it cannot tell.
    std::optional<double> SecondsLeft() const;
    void SetEstimatePerCode(double seconds) { estimatePerCode_ = seconds; }

    // Called after each code is in the file.
    std::function<void(const CodeResult&)> onCode;

private:
    enum class Phase { WriteCode, Settling, StartReading, Reading };
    Wait Step();
    void End(RunState state, const std::string& message);
    double RunningSeconds() const;

    Plan plan_;
    std::vector<int> codes_;
    CodeSink& sink_;
    ReadingSource& source_;
    ResultsWriter& writer_;
    RunState state_ = RunState::Running;
    Phase phase_ = Phase::WriteCode;
    bool pauseAsked_ = false;
    size_t next_ = 0;
    std::vector<double> readings_;
    Clock::time_point started_;
    Clock::time_point pausedAt_{};
    Clock::duration pausedFor_{};
    Clock::time_point settledAt_{};
    Clock::time_point deadline_{};
    std::string message_;
    std::optional<double> estimatePerCode_;
};

// Drives a run on the calling thread, waiting with poll and sleeps, until it
// ends or is paused.
RunState RunToEnd(Run& run);

// How long a plan takes: per code the settling time and the readings.
double EstimateSeconds(const Plan& plan, size_t codes, double secondsPerReading);
// One reading timed, in seconds (throws what the source throws).
double TimeOneReading(ReadingSource& source);

}  // namespace characterise
