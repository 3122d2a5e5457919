#pragma once
// The run's side of the results file (analysis/results.h): created with its
// header, one line appended and written out per code, the end line last.
#include "analysis/results.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace characterise {

using analysis::CodeResult;
using analysis::Results;
using analysis::ResultsHeader;

class ResultsWriter {
public:
    ResultsWriter() = default;
    ~ResultsWriter();
    ResultsWriter(const ResultsWriter&) = delete;
    ResultsWriter& operator=(const ResultsWriter&) = delete;

    // Creates the file (or empties a regular file of that name; anything
    // else is refused before anything is written) and writes the header.
    bool Open(const std::string& path, const ResultsHeader& header, std::string& why);
    // One line, written out at once: a crash after it keeps it.
    bool Append(const CodeResult& result, std::string& why);
    // The end line; the file is closed.
    bool Finish(std::string_view end, std::string& why);
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }

private:
    bool Write(const std::string& text, std::string& why);
    std::FILE* file_ = nullptr;
    std::string path_;
};

}  // namespace characterise
