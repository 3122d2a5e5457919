#include "simmeterprocess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

namespace testmeter {

SimMeterProcess::SimMeterProcess(const std::vector<std::string>& args)
{
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return;
    std::vector<std::string> all{QV_SIMMETER, "--port", "0", "--with-parent"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const int rc = posix_spawn(&pid_, QV_SIMMETER, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        pid_ = -1;
        ::close(out[0]);
        return;
    }
    std::string text;
    pollfd p{out[0], POLLIN, 0};
    while (text.find('\n') == std::string::npos && ::poll(&p, 1, 5000) > 0) {
        char chunk[128];
        const ssize_t n = ::read(out[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        text.append(chunk, static_cast<size_t>(n));
    }
    ::close(out[0]);
    const size_t colon = text.rfind(':');
    if (text.rfind("listening on 127.0.0.1:", 0) == 0 && colon != std::string::npos)
        port_ = static_cast<unsigned>(std::strtoul(text.c_str() + colon + 1, nullptr, 10));
}

SimMeterProcess::~SimMeterProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

PtyPeer::PtyPeer(std::function<std::optional<std::string>(const std::string&)> answer) : answer_(std::move(answer))
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return;
    path_ = ::ptsname(master_);
    // Bytes pass as they are: no echo, no line editing, no CR/LF changes.
    termios t{};
    ::tcgetattr(master_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master_, TCSANOW, &t);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this] { Serve(); });
}

PtyPeer::~PtyPeer() { Close(); }

void PtyPeer::Close()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

void PtyPeer::Serve()
{
    std::string input;
    while (!stop_) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char chunk[512];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n <= 0) {
            ::usleep(1000);  // no terminal side open yet, or it closed
            continue;
        }
        input.append(chunk, static_cast<size_t>(n));
        size_t end;
        while ((end = input.find('\n')) != std::string::npos) {
            const std::string line = input.substr(0, end);
            input.erase(0, end + 1);
            if (const auto reply = answer_(line)) {
                const std::string out = *reply + "\n";
                size_t at = 0;
                for (int tries = 0; at < out.size() && tries < 100 && !stop_; ++tries) {
                    const ssize_t w = ::write(master_, out.data() + at, out.size() - at);
                    if (w > 0)
                        at += static_cast<size_t>(w);
                    else
                        ::usleep(1000);  // the program reads it, or gives up within its timeout
                }
            }
        }
    }
}

}  // namespace testmeter
