#include "results.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace characterise {

ResultsWriter::~ResultsWriter()
{
    if (file_ != nullptr)
        std::fclose(file_);
}

bool ResultsWriter::Open(const std::string& path, const ResultsHeader& header, std::string& why)
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    // Only a regular file is written: a name that leads to a pipe or a device
    // is refused (without waiting for a reader) before anything is written.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    struct stat st{};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0 ||
        (file_ = ::fdopen(fd, "w")) == nullptr) {
        why = path + ": " + (fd < 0 || S_ISREG(st.st_mode) ? std::strerror(errno) : "not a regular file");
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    path_ = path;
    return Write(analysis::ResultsHeaderText(header), why);
}

bool ResultsWriter::Write(const std::string& text, std::string& why)
{
    if (file_ == nullptr) {
        why = "no results file is open";
        return false;
    }
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
        why = path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool ResultsWriter::Append(const CodeResult& result, std::string& why) { return Write(analysis::CodeLine(result), why); }

bool ResultsWriter::Finish(std::string_view end, std::string& why)
{
    const bool ok = Write(analysis::EndLine(end), why);
    const bool closed = file_ == nullptr || std::fclose(file_) == 0;
    file_ = nullptr;
    if (ok && !closed) {
        why = path_ + ": " + std::strerror(errno);
        return false;
    }
    return ok;
}

}  // namespace characterise
