#pragma once
// Scratch files and small helpers for the interface library tests.
#include <cstdint>
#include <string>
#include <vector>

namespace evtest {

std::string ScratchDir();  // under the test's build folder
std::string WriteFile(const std::string& name, const std::string& text);
std::vector<std::string> ReadLines(const std::string& path);

// One Intel HEX record with its checksum; a small well-formed file.
std::string HexRecord(uint16_t address, uint8_t type, const std::vector<uint8_t>& data);
std::string GoodHex();

// Bit order of a byte reversed, as the program undoes it.
uint8_t Rev(uint8_t b);

}  // namespace evtest
