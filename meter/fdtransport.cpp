#include "fdtransport.h"

#include "error.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace meter {

FdTransport::FdTransport(int fd, bool watchable, bool socket, std::string name, const Timeouts& timeouts)
    : Transport(std::move(name), timeouts), fd_(fd), watchable_(watchable), socket_(socket)
{
}

FdTransport::~FdTransport() { ::close(fd_); }

void FdTransport::Gone(const char* doing, int error)
{
    const std::string why = error == 0 ? "the meter closed the connection" : std::strerror(error);
    throw Error(Error::Kind::Closed, name() + ": " + doing + ": " + why);
}

bool FdTransport::Wait(short events, std::optional<Clock::time_point> deadline)
{
    for (;;) {
        pollfd p{fd_, events, 0};
        const int n = ::poll(&p, 1, deadline ? MillisecondsLeft(*deadline) : 0);
        if (n > 0) {
            // Readable or not, a hang-up or an error shows in the read or write that follows.
            return true;
        }
        if (n == 0)
            return false;
        if (errno != EINTR)
            Gone("waiting", errno);
    }
}

// Each read and write is tried first and waited for only when the descriptor
// is not ready: a meter's answer costs one system call when it is there.
size_t FdTransport::ReadSome(char* into, size_t size, std::optional<Clock::time_point> deadline)
{
    for (;;) {
        const ssize_t n = ::read(fd_, into, size);
        if (n > 0)
            return static_cast<size_t>(n);
        if (n == 0)
            Gone("reading", 0);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ETIMEDOUT) {
            if (!watchable_ || !deadline || !Wait(POLLIN, deadline))
                return 0;
            continue;
        }
        // A terminal whose other side closed reads EIO; a device unplugged, ENODEV.
        Gone("reading", errno == EIO ? 0 : errno);
    }
}

void FdTransport::WriteAll(std::string_view bytes, Clock::time_point deadline)
{
    while (!bytes.empty()) {
        const ssize_t n = socket_ ? ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL)
                                  : ::write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const bool full = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        if ((full && (!watchable_ || !Wait(POLLOUT, deadline))) || (n < 0 && errno == ETIMEDOUT))
            throw Error(Error::Kind::Timeout, name() + ": the meter takes no more commands");
        if (!full)
            Gone("writing", n < 0 && errno != EPIPE && errno != EIO && errno != ECONNRESET ? errno : 0);
    }
}

}  // namespace meter
