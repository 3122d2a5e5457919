// Round trips to qv4816x-scpi over loopback on the simulated board without
// latency: *IDN? and MEASure:VOLTage? ALL (median and 99th percentile), and a
// pipelined stream of DAC writes (commands per second).
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

struct Client {
    int fd;
    std::string buffer;

    Client()
    {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(TheServer().port));
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

void RoundTrips(benchmark::State& state, const std::string& query)
{
    Client c;
    std::vector<double> us;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        c.Send(query);
        benchmark::DoNotOptimize(c.Line());
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
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
BENCHMARK(BM_MeasureAllRoundTrip)->Iterations(5000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PipelinedDacWrites)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
