#include "sources.h"

#include "meter/error.h"

#include <algorithm>
#include <cmath>

namespace characterise {

std::chrono::milliseconds MeterSource::Timeout() const { return meter_->timeouts().answer; }

double LargestOutput(const analysis::Conditions& conditions)
{
    return std::max(std::abs(conditions.span().lo), std::abs(conditions.span().hi));
}

std::unique_ptr<MeterSource> ConnectMeter(const Plan& plan, double expectedVolts, ResultsHeader& header)
{
    std::string why;
    const auto address = meter::ParseAddress(plan.meter, why);
    if (!address)
        throw meter::Error(meter::Error::Kind::Address, "'" + plan.meter + "': " + why);
    meter::Timeouts timeouts;
    timeouts.answer = std::chrono::milliseconds(plan.timeoutMs);
    auto m = meter::Meter::Open(*address, timeouts);
    header.meter = m->name();
    header.meterIdentity = m->Identify().Text();
    meter::Setup setup;
    setup.expectedVolts = expectedVolts;
    setup.nplc = plan.nplc;
    setup.autoZero = plan.autoZero;
    setup.style = plan.setupStyle;
    setup.digits = plan.digits;
    const auto configuration = m->Configure(setup);
    header.meterRangeVolts = configuration.rangeVolts;
    header.meterResolutionVolts = configuration.resolutionVolts;
    header.meterSetup = configuration.commands;
    return std::make_unique<MeterSource>(std::move(m));
}

}  // namespace characterise
