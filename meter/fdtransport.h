#pragma once
// A transport over one file descriptor: a TCP socket or a device file.
#include "transport.h"

namespace meter {

class FdTransport final : public Transport {
public:
    // Takes `fd`. `watchable`: the descriptor is non-blocking and can be
    // polled; otherwise its reads and writes block within a timeout the
    // device itself keeps (a USBTMC device told the answer timeout).
    FdTransport(int fd, bool watchable, bool socket, std::string name, const Timeouts& timeouts);
    ~FdTransport() override;

    int WatchFd() const override { return watchable_ ? fd_ : -1; }

protected:
    size_t ReadSome(char* into, size_t size, std::optional<Clock::time_point> deadline) override;
    void WriteAll(std::string_view bytes, Clock::time_point deadline) override;

private:
    // Waits until the descriptor is ready for `events`; false at the deadline.
    bool Wait(short events, std::optional<Clock::time_point> deadline);
    [[noreturn]] void Gone(const char* doing, int error);

    int fd_;
    bool watchable_;
    bool socket_;
};

}  // namespace meter
