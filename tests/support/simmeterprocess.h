#pragma once
// Test helpers for bench meters: the simulated meter as a process on a free
// loopback port, and a pseudo-terminal standing in for a USBTMC device file
// with a meter answering on its other side.
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace testmeter {

class SimMeterProcess {
public:
    // Starts qv4816x-simmeter with `args` (after --port 0 --with-parent) and
    // waits (at most 5 s) for the port it prints.
    explicit SimMeterProcess(const std::vector<std::string>& args);
    ~SimMeterProcess();
    SimMeterProcess(const SimMeterProcess&) = delete;
    SimMeterProcess& operator=(const SimMeterProcess&) = delete;

    bool ok() const { return port_ != 0; }
    std::string address() const { return "tcp://127.0.0.1:" + std::to_string(port_); }
    unsigned port() const { return port_; }

private:
    pid_t pid_ = -1;
    unsigned port_ = 0;
};

class PtyPeer {
public:
    // `answer` gets each line the program sends and gives the text to send
    // back (nothing: silence).
    explicit PtyPeer(std::function<std::optional<std::string>(const std::string&)> answer);
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    // The device file the program opens.
    const std::string& path() const { return path_; }
    // The meter goes away: the other side of the terminal closes.
    void Close();

private:
    void Serve();
    int master_ = -1;
    std::string path_;
    std::function<std::optional<std::string>(const std::string&)> answer_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace testmeter
