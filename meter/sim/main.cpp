// qv4816x-simmeter: a simulated 6½-digit bench meter serving SCPI on
// 127.0.0.1, measuring one output of the simulated board. See README.md.
#include "instrument.h"

#include "evlink/options.h"

#include <arpa/inet.h>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kMaxLine = 4096;
constexpr size_t kMaxClients = 8;

const char* const kUsage =
    "Usage: qv4816x-simmeter [OPTION]...\n"
    "A simulated 6.5-digit bench meter on 127.0.0.1, measuring one output of the\n"
    "simulated board (EVLINK_SIM=...,probe=PATH in the program that drives the board).\n"
    "Prints \"listening on 127.0.0.1:PORT\" once it listens.\n"
    "\n"
    "  --port N              TCP port (default 5025; 0: any free port)\n"
    "  --probe PATH          the board's probe file (default: probe= of EVLINK_SIM)\n"
    "  --channel A|B|C|D     the output the meter is wired to (default A)\n"
    "  --noise-uv X          noise, microvolts rms at 1 PLC (default 2; falls as 1/sqrt(NPLC))\n"
    "  --seed N              seed of the noise (default 1)\n"
    "  --delay-us N          each reading answers N microseconds after its query (default 0)\n"
    "  --hang-after N        after N readings, answer nothing more\n"
    "  --garbage-after N     after N readings, answer readings with nonsense\n"
    "  --disconnect-after N  after N readings, close the connection\n"
    "  --with-parent         end when the process that started it ends\n"
    "  --help                this text\n";

int Usage(const std::string& why)
{
    std::fprintf(stderr, "qv4816x-simmeter: %s\nTry 'qv4816x-simmeter --help'.\n", why.c_str());
    return 2;
}

template <typename T>
bool Parse(const std::string& text, T& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

struct Client {
    int fd;
    std::string input;
    bool hung = false;
};

void SleepUntil(timespec at)
{
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

timespec After(timespec t, int64_t us)
{
    t.tv_sec += static_cast<time_t>(us / 1'000'000);
    t.tv_nsec += static_cast<long>(us % 1'000'000) * 1000;
    if (t.tv_nsec >= 1'000'000'000) {
        t.tv_nsec -= 1'000'000'000;
        ++t.tv_sec;
    }
    return t;
}

bool SendAll(int fd, const std::string& text)
{
    size_t at = 0;
    while (at < text.size()) {
        const ssize_t n = ::send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

// Runs the complete lines of a client; false when it is to be closed.
bool Serve(simmeter::Instrument& meter, Client& c, timespec received)
{
    size_t end;
    while ((end = c.input.find('\n')) != std::string::npos) {
        std::string line = c.input.substr(0, end);
        c.input.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (c.hung)
            continue;
        std::string answer;
        switch (meter.Line(line, answer)) {
        case simmeter::Instrument::Fate::Disconnect:
            return false;
        case simmeter::Instrument::Fate::Hang:
            c.hung = true;
            continue;
        case simmeter::Instrument::Fate::Silent:
            continue;
        case simmeter::Instrument::Fate::Answer:
            if (meter.AnswerDelayUs() > 0)
                SleepUntil(After(received, meter.AnswerDelayUs()));
            if (!SendAll(c.fd, answer + "\n"))
                return false;
        }
    }
    return c.input.size() <= kMaxLine;
}

}  // namespace

int main(int argc, char** argv)
{
    simmeter::Settings settings;
    settings.probePath = evlink::ParseOptions(std::getenv("EVLINK_SIM") ? std::getenv("EVLINK_SIM") : "").probePath;
    unsigned port = 5025;
    bool withParent = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        const size_t eq = arg.find('=');
        const bool inline_ = arg.rfind("--", 0) == 0 && eq != std::string::npos;
        if (inline_) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
        }
        auto need = [&](std::string& into) {
            if (inline_) {
                into = value;
                return true;
            }
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        uint64_t n = 0;
        if (arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--with-parent") {
            withParent = true;
        } else if (arg == "--port" || arg == "--probe" || arg == "--channel" || arg == "--noise-uv" || arg == "--seed" ||
                   arg == "--delay-us" || arg == "--hang-after" || arg == "--garbage-after" ||
                   arg == "--disconnect-after") {
            if (!need(value))
                return Usage("option " + arg + " needs a value");
            bool ok = true;
            if (arg == "--port")
                ok = Parse(value, port) && port <= 65535;
            else if (arg == "--probe")
                settings.probePath = value, ok = !value.empty();
            else if (arg == "--channel")
                ok = value.size() == 1 && (value[0] | 0x20) >= 'a' && (value[0] | 0x20) <= 'd',
                settings.channel = ok ? (value[0] | 0x20) - 'a' : 0;
            else if (arg == "--noise-uv")
                ok = Parse(value, settings.noiseUv) && settings.noiseUv >= 0 && settings.noiseUv <= 1e6;
            else if (arg == "--seed")
                ok = Parse(value, settings.seed);
            else if (arg == "--delay-us")
                ok = Parse(value, settings.delayUs) && settings.delayUs >= 0 && settings.delayUs <= 60'000'000;
            else if ((ok = Parse(value, n)))
                (arg == "--hang-after" ? settings.hangAfter : arg == "--garbage-after" ? settings.garbageAfter
                                                                                        : settings.disconnectAfter) = n;
            if (!ok)
                return Usage("bad value for " + arg + ": '" + value + "'");
        } else {
            return Usage("unknown option '" + arg + "'");
        }
    }
    if (settings.probePath.empty())
        std::fprintf(stderr, "qv4816x-simmeter: no probe file (--probe, or probe= in EVLINK_SIM): it reads 0 V\n");
    if (withParent && (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() == 1))
        return 1;
    ::prctl(PR_SET_TIMERSLACK, 1UL);  // answer delays to the microsecond

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener, 4) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &size) != 0) {
        std::fprintf(stderr, "qv4816x-simmeter: cannot listen on 127.0.0.1:%u: %s\n", port, std::strerror(errno));
        return 1;
    }
    std::printf("listening on 127.0.0.1:%u\n", ntohs(addr.sin_port));
    std::fflush(stdout);

    simmeter::Instrument meter(settings);
    std::vector<Client> clients;
    for (;;) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        for (const auto& c : clients)
            fds.push_back({c.fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            return 1;
        timespec received{};
        clock_gettime(CLOCK_MONOTONIC, &received);
        for (size_t i = fds.size(); i-- > 1;) {
            if (fds[i].revents == 0)
                continue;
            Client& c = clients[i - 1];
            char chunk[2048];
            const ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
            bool keep = n > 0 || (n < 0 && errno == EINTR);
            if (n > 0) {
                c.input.append(chunk, static_cast<size_t>(n));
                keep = Serve(meter, c, received);
            }
            if (!keep) {
                ::close(c.fd);
                clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i - 1));
            }
        }
        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0 && clients.size() < kMaxClients) {
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                clients.push_back({fd, {}});
            } else if (fd >= 0) {
                ::close(fd);
            }
        }
    }
}
