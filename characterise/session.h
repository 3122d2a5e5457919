#pragma once
// The characterisation run of the program: one at a time, whoever starts it
// (the Characterise window or a remote client), driven from the event loop
// of the thread that owns the board. The meter's answers are waited for on
// its descriptor, so that windows and clients are served meanwhile. Qt Core.
#include "run.h"
#include "sources.h"

#include "board/owner.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

class QSocketNotifier;

namespace characterise {

class Session : public QObject {
    Q_OBJECT
public:
    static Session& Instance();

    // Opens the plan's meter (or takes the board's ADC), identifies it, sets
    // it up for the plan's channel as the board has it now, and times one
    // reading. Waits within the meter's timeouts. False, with `why`, when
    // the meter cannot be used; refused while a run is under way.
    bool Connect(const Plan& plan, std::string& why);
    bool Connected() const { return source_ != nullptr; }
    const ResultsHeader& Prepared() const { return header_; }  // the meter's and the channel's part, once connected
    double SecondsPerReading() const { return secondsPerReading_; }
    // How long `plan` takes, from the timed reading; nothing before a connection.
    std::optional<double> EstimateSeconds(const Plan& plan) const;

    // Starts `plan`, its results going to `path` (a connection is made first
    // unless the one made fits the plan). The run holds the board for `side`
    // until it ends: nothing else writes to it meanwhile (board/owner.h).
    // False, with `why`, when it cannot start.
    bool Start(const Plan& plan, const std::string& path, owner::Side side, std::string& why);
    void Pause();
    void Resume();
    void Stop();

    // Running or paused.
    bool Busy() const { return run_ && !run_->Ended(); }
    const Run* CurrentRun() const { return run_.get(); }  // the last run, ended or not
    const std::string& ResultsPath() const { return path_; }

    // Ends any run and forgets the meter (tests; program end).
    void Reset();

signals:
    void Changed();  // a code is in, a state changed
    void Ended();    // the run ended: done, stopped or failed

private:
    Session();
    ~Session() override;
    void Schedule(const Wait& wait);
    void Tick();
    void Finished();

    ResultsHeader header_;
    Plan connectedPlan_;
    std::unique_ptr<ReadingSource> source_;
    double secondsPerReading_ = 0;
    std::unique_ptr<ResultsWriter> writer_;
    std::unique_ptr<Run> run_;
    std::string path_;
    QTimer timer_;     // the next step at a time: now, or when the output has settled
    QTimer watchdog_;  // a meter's answer overdue
    std::optional<Clock::time_point> answerDue_;
    bool ticking_ = false;  // within Advance: a Stop asked for there is finished after it
    std::unique_ptr<QSocketNotifier> notifier_;
};

std::string_view StateName(RunState state);  // "RUNNING", "PAUSED", "DONE", "STOPPED", "FAILED"

}  // namespace characterise
