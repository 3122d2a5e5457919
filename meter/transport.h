#pragma once
// The line to a bench meter: commands out, answer lines back, each bounded in
// time and length. Opened from an Address: a TCP socket or a USBTMC device file.
#include "address.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace meter {

using Clock = std::chrono::steady_clock;

struct Timeouts {
    std::chrono::milliseconds connect{3000};  // reaching the meter
    std::chrono::milliseconds answer{5000};   // each answer, and each command going out
};

// The longest answer taken; a longer one is garbage.
constexpr size_t kMaxAnswer = 4096;

class Transport {
public:
    virtual ~Transport() = default;
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // Sends one command and its line feed.
    void Send(std::string_view command);
    // The next answer, without its line end (LF or CR LF), waiting at most
    // the answer timeout. Throws Error on a timeout, a closed line, an
    // answer longer than kMaxAnswer.
    std::string Receive();
    // Takes in, without waiting, what has arrived; true when Receive would
    // not wait (always true for a device that cannot be watched).
    bool AnswerWaiting();
    // Forgets whatever arrived and was not yet taken.
    void Discard() { buffer_.clear(); }

    // A descriptor that turns readable when an answer arrives, or -1 when the
    // device cannot be watched (Receive then waits within its timeout).
    virtual int WatchFd() const = 0;
    const Timeouts& timeouts() const { return timeouts_; }
    const std::string& name() const { return name_; }

protected:
    Transport(std::string name, const Timeouts& timeouts) : timeouts_(timeouts), name_(std::move(name)) {}
    // Reads what arrives until `deadline` (no deadline: what is there now).
    // The count, 0 when nothing came; throws Error when the line is gone.
    virtual size_t ReadSome(char* into, size_t size, std::optional<Clock::time_point> deadline) = 0;
    virtual void WriteAll(std::string_view bytes, Clock::time_point deadline) = 0;

private:
    bool TakeLine(std::string& line);

    Timeouts timeouts_;
    std::string name_;
    std::string buffer_;
};

// Opens the meter at `address`. Throws Error (Kind::Open) with the reason.
std::unique_ptr<Transport> OpenTransport(const Address& address, const Timeouts& timeouts = {});

// An answer as it may be quoted to the user: control bytes as \xNN, at most
// 60 characters.
std::string Quote(std::string_view answer);
// Without the blanks (spaces, tabs) around it.
std::string_view TrimBlanks(std::string_view s);
// "NAME: no answer within 5 s"
std::string NoAnswerText(const std::string& name, std::chrono::milliseconds timeout);
// Milliseconds left until `deadline`, for poll and timers: 0 once it has passed.
int MillisecondsLeft(Clock::time_point deadline);

}  // namespace meter
