#include "savefile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string errorText(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

// While a save runs, a write past the file-size limit or into a pipe whose
// reader has gone fails with its error (EFBIG, EPIPE) whatever the program
// does with those signals; one raised meanwhile is taken back.
class WriteSignalsHeld {
public:
    WriteSignalsHeld()
    {
        sigemptyset(&held_);
        sigaddset(&held_, SIGPIPE);
        sigaddset(&held_, SIGXFSZ);
        pthread_sigmask(SIG_BLOCK, &held_, &before_);
    }
    ~WriteSignalsHeld()
    {
        sigset_t pending;
        sigpending(&pending);
        for (const int sig : {SIGPIPE, SIGXFSZ}) {
            if (sigismember(&before_, sig) || !sigismember(&pending, sig))
                continue;
            sigset_t one;
            sigemptyset(&one);
            sigaddset(&one, sig);
            const timespec now{};
            sigtimedwait(&one, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }
    WriteSignalsHeld(const WriteSignalsHeld&) = delete;
    WriteSignalsHeld& operator=(const WriteSignalsHeld&) = delete;

private:
    sigset_t held_;
    sigset_t before_;
};

// Writes all of `data` from `offset` on; `done` counts what was written.
bool writeAll(int fd, std::string_view data, off_t offset, size_t& done, std::string& why)
{
    done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            why = errorText("write", n < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool readAll(int fd, std::string& into, std::string& why)
{
    for (size_t done = 0; done < into.size();) {
        const ssize_t n = ::pread(fd, into.data() + done, into.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            why = errorText("read", n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// A pipe or a character device, opened without waiting for a reader: a pipe
// nobody reads fails the save at once instead of freezing the program. Once
// a reader is there it gets everything, as fast as it takes it; a reader that
// takes nothing for kStallMs fails the save.
bool writeStream(const std::string& path, const std::string& contents, std::string& why)
{
    constexpr int kStallMs = 30'000;
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = errorText("open", errno);
        return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < contents.size();) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            const int ready = ::poll(&p, 1, kStallMs);
            if (ready == 0) {
                why = "write: the reader took nothing for 30 s";
                ok = false;
            }
        } else {
            why = errorText("write", n < 0 ? errno : EIO);
            ok = false;
        }
    }
    if (::close(fd) != 0 && ok) {
        why = errorText("close", errno);
        ok = false;
    }
    return ok;
}

// A regular file written in place, which never costs what it held: room for
// the new contents is taken first (nothing changes when there is none), the
// bytes about to be overwritten are kept, and when a write still fails (the
// file-size limit, an I/O error) they are put back and the old length with
// them. A file that may be written but not read is refused: it could not be
// kept.
bool rewriteInPlace(const std::string& path, const std::string& contents, std::string& why)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        why = errorText("open", errno);
        return false;
    }
    struct stat st {};
    const off_t newSize = static_cast<off_t>(contents.size());
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok)
        why = errorText("stat", errno);
    const off_t oldSize = st.st_size;
    // The room taken beyond the old end, given back when the save fails.
    auto giveBack = [&] {
        if (newSize > oldSize)
            ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, oldSize, newSize - oldSize);
    };
    if (ok && newSize > 0 && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, newSize) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS) {
        why = errorText("write", errno);  // no room: the file is as it was
        ok = false;
    }
    std::string kept(ok ? static_cast<size_t>(std::min(oldSize, newSize)) : 0, '\0');
    ok = ok && readAll(fd, kept, why);
    if (!ok) {
        giveBack();
        ::close(fd);
        return false;
    }
    size_t written = 0;
    ok = writeAll(fd, contents, 0, written, why);
    if (ok && newSize < oldSize && ::ftruncate(fd, newSize) != 0) {
        why = errorText("truncate", errno);
        ok = false;
    }
    if (ok && ::fdatasync(fd) != 0) {
        why = errorText("sync", errno);
        ok = false;
    }
    if (!ok) {
        std::string ignored;
        size_t back = 0;
        const bool restored = writeAll(fd, std::string_view(kept).substr(0, written), 0, back, ignored) &&
                              ::ftruncate(fd, oldSize) == 0 && ::fdatasync(fd) == 0;
        if (!restored)
            why += " (and the old contents could not be put back)";
        giveBack();
    }
    if (::close(fd) != 0 && ok) {
        why = errorText("close", errno);
        ok = false;
    }
    return ok;
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a name stands for, with symbolic links followed as opening the
// name would follow them: the path of the last link's target, which need not
// exist yet. A loop of links fails.
bool followLinks(std::string& path, std::string& why)
{
    constexpr int kMostLinks = 40;  // as the kernel allows
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
        if (links == kMostLinks || n < 0 || n == static_cast<ssize_t>(sizeof target)) {
            why = errorText("open", n < 0 ? errno : ELOOP);
            return false;
        }
        const std::string next(target, static_cast<size_t>(n));
        path = next.front() == '/' ? next : directoryOf(path) + "/" + next;
    }
}

// Creates a new, hidden file in `dir`; when none can be made, -1 with `why`
// and errno as the failed creation left it.
int createTemporary(const std::string& dir, const std::string& base, mode_t mode, std::string& name,
                    std::string& why)
{
    static std::mt19937 engine{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        // The base is cut short so that a long, valid name still leaves room.
        name = dir + "/." + base.substr(0, 100) + "." + std::to_string(::getpid()) + "." +
               std::to_string(engine() % 1000000) + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            break;
    }
    const int err = errno;
    why = errorText("create", err);
    errno = err;
    return -1;
}

}  // namespace

bool ReplaceFileContents(const std::string& path, const std::string& contents, std::string& why)
{
    const WriteSignalsHeld held;
    if (path.empty() || path.back() == '/') {
        why = "no file name";
        return false;
    }
    std::string target = path;
    if (!followLinks(target, why))
        return false;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode)) {
            why = "is a directory";
            return false;
        }
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))
            return writeStream(target, contents, why);
        if (!S_ISREG(st.st_mode)) {
            why = "not a file";  // a block device or a socket is never written
            return false;
        }
        // Renaming over the file needs only the directory's permission; a
        // write-protected file is refused as opening it for writing would be.
        if (::access(target.c_str(), W_OK) != 0) {
            why = errorText("open", errno);
            return false;
        }
        // A new file renamed over this one would leave its other names with
        // the old contents, or take it from its owner: write it in place.
        if (st.st_nlink > 1 || st.st_uid != ::geteuid())
            return rewriteInPlace(target, contents, why);
    }

    std::string temporary;
    const int fd = createTemporary(directoryOf(target), baseOf(target), 0666, temporary, why);
    if (fd < 0) {
        // A folder we may not write can still hold a file we may: that one
        // is written in place.
        const bool folderClosed = errno == EACCES || errno == EPERM;
        return exists && folderClosed && rewriteInPlace(target, contents, why);
    }
    bool ok = true;
    // A replaced file keeps its permissions; a new one gets the usual ones.
    if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) {
        why = errorText("chmod", errno);
        ok = false;
    }
    size_t written = 0;
    ok = ok && writeAll(fd, contents, 0, written, why);
    if (ok && ::fdatasync(fd) != 0) {
        why = errorText("sync", errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        why = errorText("close", errno);
        ok = false;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        why = errorText("rename", errno);
        ok = false;
    }
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}
