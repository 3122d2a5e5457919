#pragma once
// Keeping the pace of a link: every request takes a set time. The wait
// sleeps most of the way and spins only the last stretch; when the system
// wakes us late, the overrun is taken off the requests that follow (up to a
// bound), also when the caller works between them, so that a long run of
// requests keeps the link's pace.
#include <chrono>

namespace evlink::sim {

using Clock = std::chrono::steady_clock;

// Returns at the deadline (or just after), not before.
void WaitUntil(Clock::time_point deadline);

class Pacer {
public:
    explicit Pacer(std::chrono::microseconds perRequest) : per_(perRequest) {}
    bool Active() const { return per_.count() > 0; }
    // At the start of a request: when it should end.
    Clock::time_point Deadline(Clock::time_point start);
    // Waits for the deadline and books any overrun.
    void Finish(Clock::time_point deadline);
    // Books a request that ended at `end` instead of its deadline.
    void Book(Clock::time_point deadline, Clock::time_point end);

    // At most this many requests' worth of overrun is owed; a caller away
    // for longer than that has paused, and what was owed is forgotten.
    static constexpr int kMostRequestsOwed = 100;

private:
    std::chrono::nanoseconds per_;
    std::chrono::nanoseconds owed_{0};
    Clock::time_point lastEnd_{};
};

}  // namespace evlink::sim
