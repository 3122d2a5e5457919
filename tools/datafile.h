#pragma once
// The sweep data file: one comma-separated line per sample, index and the four
// voltages, CR LF after every line; and saving it so that an existing file is
// replaced only by a complete new one.
#include <cstdint>
#include <string>

struct ProgramState;

// " 1,-9.997559,-10, 0, 1.5" and CR LF.
void AppendDataLine(std::string& out, int32_t index, float a, float b, float c, float d);

// Every line of the last sweep, index 0 to SampleCount - 1 (never past the end
// of the arrays).
std::string DataFileText(const ProgramState& state);

// Writes `contents` to a new file beside `path`, and only when every byte is
// written and the file is closed, renames it over `path`. On failure the old
// file, if any, is left exactly as it was, no partial file remains, and `why`
// says what went wrong. A write-protected file is refused. A path naming an
// existing character device or pipe is written directly (there is nothing
// there to keep, and a pipe nobody reads fails rather than blocks); any other
// kind of file (a block device, a socket) is refused. The name is used as
// given, relative to the current directory.
bool ReplaceFileContents(const std::string& path, const std::string& contents, std::string& why);
