#pragma once
// The call trace: one line per call of the C interface, appended to the file
// named by EVLINK_TRACE and written out at once.
#include <memory>
#include <string>
#include <string_view>

namespace evlink {

class Trace {
public:
    // Appends to `path`; a file that cannot be opened at once (a named pipe
    // that nobody reads, a folder without write permission) leaves the trace
    // silent after one line on standard error.
    explicit Trace(const std::string& path);
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    bool Open() const { return fd_ >= 0; }
    // Writes the line and its line end in one piece.
    void Line(std::string_view line);

    // The trace EVLINK_TRACE asks for, or null when it is unset or empty.
    static std::unique_ptr<Trace> FromEnvironment();

private:
    int fd_ = -1;
};

// Text for a trace line: control characters and backslashes as \xNN, so that
// a line stays one line whatever a path holds.
std::string Printable(std::string_view text);

}  // namespace evlink
