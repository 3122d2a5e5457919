#include "trace.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace evlink {

Trace::Trace(const std::string& path)
{
    // Opening never waits: a named pipe with no reader fails at once instead
    // of holding up the program. Writes then block as usual, so that a
    // reader that is slow loses no line.
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd_ >= 0)
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    else
        std::fprintf(stderr, "EVLINK_TRACE: cannot open %s: %s; no trace is written\n", path.c_str(),
                     std::strerror(errno));
}

Trace::~Trace()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void Trace::Line(std::string_view line)
{
    if (fd_ < 0)
        return;
    std::string text(line);
    text += '\n';
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

std::unique_ptr<Trace> Trace::FromEnvironment()
{
    const char* path = std::getenv("EVLINK_TRACE");
    if (path == nullptr || *path == '\0')
        return nullptr;
    return std::make_unique<Trace>(path);
}

std::string Printable(std::string_view text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '\\') {
            out += "\\x";
            out += digits[u >> 4];
            out += digits[u & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace evlink
