// Round trips to qv4816x-scpi over loopback on the simulated board without
// latency: *IDN? and MEASure:VOLTage? ALL (median and 99th percentile), *IDN?
// against a bare echo server answering the same line in the same run
// (idn_to_echo; the bare server is a process of its own, as the instrument
// is), a pipelined stream of DAC writes (commands per second), and a
// whole channel's sweep data as a REAL,32 block.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

struct Server {
    pid_t pid = -1;
    int port = 0;

    Server()
    {
        int out[2];
        if (pipe(out) != 0)
            throw std::runtime_error("pipe");
        pid = fork();
        if (pid < 0)
            throw std::runtime_error("fork");
        if (pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            setenv("EVLINK_SIM", "only", 1);
            unsetenv("EVLINK_TRACE");
            execl(QV_SCPI_PROGRAM, QV_SCPI_PROGRAM, "--listen", "127.0.0.1:0", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        FILE* f = fdopen(out[0], "r");
        char line[128] = {};
        if (fgets(line, sizeof line, f) == nullptr || std::sscanf(line, "listening on 127.0.0.1:%d", &port) != 1)
            throw std::runtime_error("the server did not start");
    }
    ~Server()
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

Server& TheServer()
{
    static Server server;
    return server;
}

// A bare TCP server on a free loopback port, a process of its own as the
// instrument is: every line it reads is answered with `answer` (the
// instrument's identity, byte for byte), nothing else.
struct EchoServer {
    pid_t pid = -1;
    int port = 0;

    explicit EchoServer(const std::string& answer)
    {
        const int listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, 1) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("echo server");
        port = ntohs(a.sin_port);
        pid = fork();
        if (pid < 0)
            throw std::runtime_error("fork");
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int c = accept(listener, nullptr, nullptr);
            int one = 1;
            setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            char buf[4096];
            for (ssize_t n; (n = read(c, buf, sizeof buf)) > 0;)
                for (ssize_t i = 0; i < n; ++i)
                    if (buf[i] == '\n' && write(c, answer.data(), answer.size()) < 0)
                        _exit(0);
            _exit(0);
        }
        close(listener);
    }
    ~EchoServer()
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
};

struct Client {
    int fd;
    std::string buffer;

    explicit Client(int port = TheServer().port)
    {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            throw std::runtime_error("connect");
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Client() { close(fd); }

    void Send(const std::string& s)
    {
        for (size_t done = 0; done < s.size();) {
            const ssize_t n = write(fd, s.data() + done, s.size() - done);
            if (n <= 0)
                throw std::runtime_error("write");
            done += static_cast<size_t>(n);
        }
    }
    // Exactly n bytes.
    std::string Bytes(size_t n)
    {
        while (buffer.size() < n) {
            char chunk[65536];
            const ssize_t got = read(fd, chunk, sizeof chunk);
            if (got <= 0)
                throw std::runtime_error("read");
            buffer.append(chunk, static_cast<size_t>(got));
        }
        std::string out = buffer.substr(0, n);
        buffer.erase(0, n);
        return out;
    }
    // An IEEE 488.2 definite-length block and its line end.
    std::string Block()
    {
        const std::string head = Bytes(2);
        if (head[0] != '#' || head[1] < '1' || head[1] > '9')
            throw std::runtime_error("not a block: " + head);
        const size_t length = std::stoul(Bytes(static_cast<size_t>(head[1] - '0')));
        std::string data = Bytes(length);
        Bytes(1);
        return data;
    }
    std::string Line()
    {
        for (;;) {
            const size_t nl = buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer.substr(0, nl);
                buffer.erase(0, nl + 1);
                return line;
            }
            char chunk[4096];
            const ssize_t n = read(fd, chunk, sizeof chunk);
            if (n <= 0)
                throw std::runtime_error("read");
            buffer.append(chunk, static_cast<size_t>(n));
        }
    }
};

std::vector<double> Times(Client& c, const std::string& query, size_t n)
{
    std::vector<double> us;
    for (size_t i = 0; i < n; ++i) {
        const auto t0 = Clock::now();
        c.Send(query);
        benchmark::DoNotOptimize(c.Line());
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::sort(us.begin(), us.end());
    return us;
}

void RoundTrips(benchmark::State& state, const std::string& query)
{
    Client c;
    std::vector<double> us;
    for (auto _ : state)
        us.push_back(Times(c, query, 1).front());
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
}

// *IDN? to the instrument and the same line to the bare echo server, in turns
// of 1000, so that both see the same machine.
void BM_IdnToEcho(benchmark::State& state)
{
    Client c;
    c.Send("*IDN?\n");
    static EchoServer echo(c.Line() + "\n");
    static Client bare(echo.port);
    double ratio = 0;
    double idn = 0;
    double plain = 0;
    for (auto _ : state) {
        const auto a = Times(c, "*IDN?\n", 1000);
        const auto b = Times(bare, "*IDN?\n", 1000);
        idn = a[a.size() / 2];
        plain = b[b.size() / 2];
        ratio = idn / plain;
    }
    state.counters["idn_median_us"] = idn;
    state.counters["echo_median_us"] = plain;
    state.counters["idn_to_echo"] = ratio;
}

// A whole channel (65536 samples) as one REAL,32 block.
void BM_SweepDataReal32(benchmark::State& state)
{
    Client c;
    c.Send("SWEep:STARt;*OPC?\n");
    c.Line();
    c.Send("FORMat REAL,32\n");
    for (auto _ : state) {
        c.Send("SWEep:DATA? A\n");
        if (c.Block().size() != 65536 * 4)
            state.SkipWithError("not a whole channel");
    }
}

void BM_IdnRoundTrip(benchmark::State& state) { RoundTrips(state, "*IDN?\n"); }
void BM_MeasureAllRoundTrip(benchmark::State& state) { RoundTrips(state, "MEASure:VOLTage? ALL\n"); }

void BM_PipelinedDacWrites(benchmark::State& state)
{
    Client c;
    const int n = static_cast<int>(state.range(0));
    std::string stream;
    for (int i = 0; i < n; ++i)
        stream += "DAC:CODE " + std::string(1, static_cast<char>('A' + i % 4)) + "," + std::to_string(i & 0xFFFF) + "\n";
    stream += "*OPC?\n";
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        c.Send(stream);
        if (c.Line() != "1")
            state.SkipWithError("no *OPC? answer");
        seconds += std::chrono::duration<double>(Clock::now() - t0).count();
    }
    state.counters["commands_per_s"] = n * static_cast<double>(state.iterations()) / seconds;
}
}  // namespace

BENCHMARK(BM_IdnRoundTrip)->Iterations(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IdnToEcho)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SweepDataReal32)->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureAllRoundTrip)->Iterations(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PipelinedDacWrites)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
