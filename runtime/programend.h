#pragma once
// Ending the program "at once" (exit menu, Cancel in the connection message, the
// test window closed). EndProgram runs the end handler and then unwinds to the
// event boundary with ProgramEnded, which the boundary swallows. The default
// handler ends the process; tests install one that only records the end.
#include <functional>

struct ProgramEnded {};

[[noreturn]] void EndProgram();
void SetEndHandler(std::function<void()> handler);  // empty: the default
bool ProgramHasEnded();
void ResetProgramEnded();  // tests
