#pragma once
// Scratch files and trace lines for the interface library tests.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace evtest {

inline std::string Scratch()
{
    std::filesystem::create_directories(EVLINK_TEST_SCRATCH);
    return EVLINK_TEST_SCRATCH;
}

inline std::string WriteFile(const std::string& name, const std::string& text)
{
    const std::string path = Scratch() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

inline std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

}  // namespace evtest
