#pragma once
// The readings of a run: a bench meter (set up from the plan), or the board's
// own ADC (boardport.h); and the meter's part of the results file's header.
#include "plan.h"
#include "run.h"

#include "meter/meter.h"

#include <memory>
#include <string>

namespace characterise {

class MeterSource final : public ReadingSource {
public:
    explicit MeterSource(std::unique_ptr<meter::Meter> meter) : meter_(std::move(meter)) {}
    void Start() override { meter_->StartReading(); }
    int WatchFd() const override { return meter_->WatchFd(); }
    bool Ready() override { return meter_->ReadingWaiting(); }
    double Finish() override { return meter_->FinishReading(); }
    std::chrono::milliseconds Timeout() const override;
    std::string Name() const override { return meter_->name(); }

private:
    std::unique_ptr<meter::Meter> meter_;
};

// Opens the bench meter of `plan.meter`, identifies it and sets it up for a
// channel whose output reaches `expectedVolts`, filling the meter's fields of
// `header`. Throws meter::Error with the reason.
std::unique_ptr<MeterSource> ConnectMeter(const Plan& plan, double expectedVolts, ResultsHeader& header);

// The largest output, in volts, of a channel's range (the meter's range must hold it).
double LargestOutput(const analysis::Conditions& conditions);

}  // namespace characterise
