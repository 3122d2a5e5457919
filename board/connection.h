#pragma once
// Finding, opening and loading the board.
#include <cstdint>
#include <string>

// Second generation: search, open and download once. 0 = connected.
int16_t ConnectBoard();
// Repeats ConnectBoard until it succeeds or the user gives up (the program ends).
void EnsureBoardConnected();
// First generation: one firmware load; a failure ends the program after its message.
void LoadFirmwareOrEnd();

// Writes the path's 8-bit codes and a zero byte into FirmwarePathBytes. A path
// that does not fit the buffer leaves the buffer untouched and returns false.
bool FirmwarePathToBytes(const std::string& path);

// Sets FirmwarePath to the program's directory followed by the firmware name,
// and converts it; false when the directory is unknown or the path does not
// fit the buffer.
bool PrepareFirmwarePath();

// The directory of the running executable, empty when the system cannot give
// its path (tests may set it, empty for unknown).
std::string ProgramDirectory();
void SetProgramDirectory(std::string dir);
// The directory of the file a symbolic link points to; empty when the link
// cannot be read whole.
std::string LinkedDirectory(const char* link);
