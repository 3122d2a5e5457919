#pragma once
// A small text file read whole, within a bound: regular files only (no
// pipe, device or folder is opened for reading).
#include <cstddef>
#include <string>

namespace analysis {

bool ReadTextFile(const std::string& path, size_t maxBytes, std::string& text, std::string& why);

}  // namespace analysis
