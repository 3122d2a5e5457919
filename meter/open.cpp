// Opening a meter: a TCP connection within the connect timeout, or a USBTMC
// device file.
#include "fdtransport.h"

#include "error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace meter {
namespace {

[[noreturn]] void Fail(const std::string& name, const std::string& why)
{
    throw Error(Error::Kind::Open, name + ": " + why);
}

// One attempt: a connected socket, or -1 with `why`.
int ConnectOne(const addrinfo& ai, Clock::time_point deadline, std::string& why)
{
    const int fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol);
    if (fd < 0) {
        why = std::strerror(errno);
        return -1;
    }
    int error = 0;
    if (::connect(fd, ai.ai_addr, ai.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            int n;
            while ((n = ::poll(&p, 1, MillisecondsLeft(deadline))) < 0 && errno == EINTR) {
            }
            socklen_t size = sizeof error;
            if (n == 0)
                error = ETIMEDOUT;
            else if (n < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
    }
    if (error != 0) {
        why = error == ETIMEDOUT ? "no connection within the connect timeout" : std::strerror(error);
        ::close(fd);
        return -1;
    }
    // Commands are single short lines: each goes out at once.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

std::unique_ptr<Transport> OpenTcp(const Address& address, const Timeouts& timeouts)
{
    const std::string name = address.Text();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const std::string port = std::to_string(address.port);
    const int rc = ::getaddrinfo(address.host.c_str(), port.c_str(), &hints, &list);
    if (rc != 0)
        Fail(name, std::string("cannot find the host: ") + ::gai_strerror(rc));
    const auto deadline = Clock::now() + timeouts.connect;
    std::string why = "no address";
    int fd = -1;
    for (const addrinfo* ai = list; ai != nullptr && fd < 0 && Clock::now() < deadline; ai = ai->ai_next)
        fd = ConnectOne(*ai, deadline, why);
    ::freeaddrinfo(list);
    if (fd < 0)
        Fail(name, "cannot connect: " + why);
    return std::make_unique<FdTransport>(fd, true, true, name, timeouts);
}

std::unique_ptr<Transport> OpenUsbtmc(const Address& address, const Timeouts& timeouts)
{
    const std::string name = address.Text();
    const int fd = ::open(address.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        Fail(name, std::strerror(errno));
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        ::close(fd);
        Fail(name, "not a character device");
    }
    // The USBTMC driver's reads and writes wait within a timeout it keeps
    // itself, and its poll does not report plain answers: tell it ours. Any
    // other character device (a terminal standing in for one) is watched by
    // poll instead.
    const uint32_t ms = static_cast<uint32_t>(std::max<long long>(timeouts.answer.count(), 100));
    if (::ioctl(fd, USBTMC_IOCTL_SET_TIMEOUT, &ms) == 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            const int error = errno;
            ::close(fd);
            Fail(name, std::strerror(error));
        }
        return std::make_unique<FdTransport>(fd, false, false, name, timeouts);
    }
    return std::make_unique<FdTransport>(fd, true, false, name, timeouts);
}

}  // namespace

std::unique_ptr<Transport> OpenTransport(const Address& address, const Timeouts& timeouts)
{
    return address.kind == Address::Kind::Tcp ? OpenTcp(address, timeouts) : OpenUsbtmc(address, timeouts);
}

}  // namespace meter
