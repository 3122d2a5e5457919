#include "savefile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string errorText(const char* what, int err) { return std::string(what) + ": " + std::strerror(err); }

bool writeAll(int fd, const std::string& contents, std::string& why)
{
    const char* p = contents.data();
    size_t left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            why = errorText("write", n < 0 ? errno : ENOSPC);
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Opens an existing file for writing, discarding its contents, and writes it.
// Neither opening nor writing waits for a reader of a pipe: a pipe that is not
// read fails the save instead of freezing the program.
bool writeInPlace(const std::string& path, const std::string& contents, std::string& why)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = errorText("open", errno);
        return false;
    }
    const bool written = writeAll(fd, contents, why);
    if (::close(fd) != 0 && written) {
        why = errorText("close", errno);
        return false;
    }
    return written;
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
            return writeInPlace(target, contents, why);
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
            return writeInPlace(target, contents, why);
    }

    std::string temporary;
    const int fd = createTemporary(directoryOf(target), baseOf(target), 0666, temporary, why);
    if (fd < 0) {
        // A folder we may not write can still hold a file we may: that one
        // is written in place.
        const bool folderClosed = errno == EACCES || errno == EPERM;
        return exists && folderClosed && writeInPlace(target, contents, why);
    }
    bool ok = true;
    // A replaced file keeps its permissions; a new one gets the usual ones.
    if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) {
        why = errorText("chmod", errno);
        ok = false;
    }
    ok = ok && writeAll(fd, contents, why);
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
