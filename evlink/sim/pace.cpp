#include "pace.h"

#include <algorithm>
#include <thread>
#ifdef __linux__
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace evlink::sim {
namespace {

constexpr std::chrono::microseconds kSpin{50};

#ifdef __linux__
// Sleeps on a timer descriptor of its own: its expiry is not stretched by the
// thread's timer slack (50 µs by default, as long as the whole spin), and the
// caller's thread keeps its settings without a system call to change them and
// another to give them back at every request.
class Sleeper {
public:
    Sleeper() : fd_(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC)) {}
    ~Sleeper()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;

    void Until(Clock::time_point t)
    {
        // The steady clock is CLOCK_MONOTONIC.
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
        itimerspec when{};
        when.it_value.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
        when.it_value.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        if (fd_ < 0 || ns <= 0 || timerfd_settime(fd_, TFD_TIMER_ABSTIME, &when, nullptr) != 0) {
            std::this_thread::sleep_until(t);
            return;
        }
        uint64_t expirations = 0;
        while (read(fd_, &expirations, sizeof expirations) < 0 && errno == EINTR) {
        }
    }

private:
    int fd_;
};
#else
struct Sleeper {
    void Until(Clock::time_point t) { std::this_thread::sleep_until(t); }
};
#endif

}  // namespace

void WaitUntil(Clock::time_point deadline)
{
    if (deadline - Clock::now() > kSpin) {
        thread_local Sleeper sleeper;
        sleeper.Until(deadline - kSpin);
    }
    while (Clock::now() < deadline) {
    }
}

Clock::time_point Pacer::Deadline(Clock::time_point start)
{
    // An overrun is made up by the requests that follow, whatever the caller
    // does between them; only after a pause longer than anything we could
    // owe would the link have been idle anyway.
    if (start - lastEnd_ > per_ * kMostRequestsOwed)
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
