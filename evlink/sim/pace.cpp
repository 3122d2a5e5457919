#include "pace.h"

#include <algorithm>
#include <thread>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace evlink::sim {
namespace {

constexpr std::chrono::microseconds kSpin{50};
constexpr int kMostRequestsOwed = 10;

#ifdef __linux__
// The kernel may delay a sleeper's wake-up by the thread's timer slack
// (50 µs by default), as long as the whole spin stretch. Narrow it for our
// own sleep only and give the caller's thread its setting back.
class NarrowTimerSlack {
public:
    NarrowTimerSlack() : old_(prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0))
    {
        if (old_ > 0)
            prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0);
    }
    ~NarrowTimerSlack()
    {
        if (old_ > 0)
            prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(old_), 0, 0, 0);
    }
    NarrowTimerSlack(const NarrowTimerSlack&) = delete;
    NarrowTimerSlack& operator=(const NarrowTimerSlack&) = delete;

private:
    long old_;
};
#else
struct NarrowTimerSlack {};
#endif

}  // namespace

void WaitUntil(Clock::time_point deadline)
{
    if (deadline - Clock::now() > kSpin) {
        NarrowTimerSlack slack;
        std::this_thread::sleep_until(deadline - kSpin);
    }
    while (Clock::now() < deadline) {
    }
}

Clock::time_point Pacer::Deadline(Clock::time_point start)
{
    // An overrun is made up only by requests that follow at once; after a
    // pause the link would have been idle anyway.
    if (start - lastEnd_ > per_)
        owed_ = std::chrono::nanoseconds(0);
    const auto credit = std::min(owed_, per_);
    owed_ -= credit;
    return start + per_ - credit;
}

void Pacer::Finish(Clock::time_point deadline)
{
    WaitUntil(deadline);
    Book(deadline, Clock::now());
}

void Pacer::Book(Clock::time_point deadline, Clock::time_point end)
{
    lastEnd_ = end;
    owed_ = std::min(owed_ + std::max(end - deadline, Clock::duration::zero()), per_ * kMostRequestsOwed);
}

}  // namespace evlink::sim
