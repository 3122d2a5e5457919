#include "transport.h"

#include "error.h"

#include <cstdio>

namespace meter {

std::string NoAnswerText(const std::string& name, std::chrono::milliseconds timeout)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(timeout.count()) / 1000.0);
    return name + ": no answer within " + text;
}

int MillisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : left > 1'000'000 ? 1'000'000 : static_cast<int>(left);
}

std::string Quote(std::string_view answer)
{
    constexpr size_t kShown = 60;
    std::string out = "'";
    for (size_t i = 0; i < answer.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(answer[i]);
        if (c < 0x20 || c >= 0x7F || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += answer.size() > kShown ? "'..." : "'";
    return out;
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

void Transport::Send(std::string_view command)
{
    std::string line(command);
    line += '\n';
    WriteAll(line, Clock::now() + timeouts_.answer);
}

bool Transport::TakeLine(std::string& line)
{
    const size_t end = buffer_.find('\n');
    if (end == std::string::npos)
        return false;
    size_t length = end;
    if (length > 0 && buffer_[length - 1] == '\r')
        --length;
    line.assign(buffer_, 0, length);
    buffer_.erase(0, end + 1);
    return true;
}

std::string Transport::Receive()
{
    const auto deadline = Clock::now() + timeouts_.answer;
    std::string line;
    char chunk[1024];
    for (;;) {
        if (TakeLine(line)) {
            if (line.size() > kMaxAnswer)
                throw Error(Error::Kind::Garbage, name_ + ": an answer longer than " + std::to_string(kMaxAnswer) + " bytes");
            return line;
        }
        if (buffer_.size() > kMaxAnswer) {
            const std::string start = buffer_.substr(0, 20);
            buffer_.clear();
            throw Error(Error::Kind::Garbage, name_ + ": an answer longer than " + std::to_string(kMaxAnswer) +
                                                  " bytes, beginning " + Quote(start));
        }
        if (Clock::now() >= deadline)
            throw Error(Error::Kind::Timeout, NoAnswerText(name_, timeouts_.answer));
        buffer_.append(chunk, ReadSome(chunk, sizeof chunk, deadline));
    }
}

bool Transport::AnswerWaiting()
{
    if (WatchFd() < 0)
        return true;
    char chunk[1024];
    while (buffer_.find('\n') == std::string::npos && buffer_.size() <= kMaxAnswer) {
        const size_t n = ReadSome(chunk, sizeof chunk, std::nullopt);
        if (n == 0)
            return false;
        buffer_.append(chunk, n);
    }
    return true;
}

}  // namespace meter
