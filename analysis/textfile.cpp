#include "textfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace analysis {

bool ReadTextFile(const std::string& path, size_t maxBytes, std::string& text, std::string& why)
{
    // Non-blocking open: a FIFO without a writer must not hold the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        why = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    struct stat st{};
    bool ok = false;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "not a regular file";
    } else if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        why = "larger than " + std::to_string(maxBytes) + " bytes";
    } else {
        text.assign(static_cast<size_t>(st.st_size), '\0');
        size_t at = 0;
        while (at < text.size()) {
            const ssize_t n = ::read(fd, text.data() + at, text.size() - at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            at += static_cast<size_t>(n);
        }
        text.resize(at);  // a file cut short meanwhile gives what it holds
        ok = true;
    }
    ::close(fd);
    return ok;
}

}  // namespace analysis
