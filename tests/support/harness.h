#pragma once
// Shared test harness: the real binding and the stand-in interface library of
// the build tree, with the trace going to a file the tests read, message boxes
// answered from a queue, and program end recorded instead of performed.
#include "runtime/msgbox.h"

#include <deque>
#include <string>
#include <vector>

namespace harness {

// Call once per process before anything loads the library: points the trace
// at a file of this process, the firmware lookup at the build directory,
// installs the message box and program-end seams, picks the edition
// (second = true for the second generation).
void Setup(bool second = true, bool trace = true);

// The trace lines written since the last ClearTrace.
std::vector<std::string> Trace();
// Only the "request ..." lines.
std::vector<std::string> Requests();
void ClearTrace();

// Message boxes shown since the last Reset, and the answers to give (Ok or
// Cancel when the queue is empty, matching the buttons).
std::vector<MsgBoxRequest>& ShownBoxes();
std::deque<MsgAnswer>& Answers();

// Program state back to the start values, boxes and answers cleared, the
// program-ended flag reset.
void Reset();

bool Ended();

// Where the build put the programs, the libraries and the firmware file.
std::string BuildDir();

}  // namespace harness
