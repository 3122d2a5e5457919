#pragma once
// The boundary between Qt's event loop and the program's handlers. No C++
// exception crosses it: a run-time error is shown with the platform's run-time
// error message and ends the program; a program end unwinds quietly.
#include <functional>

void ReportUncaught(const char* where) noexcept;  // inside a catch block only
bool Guarded(const std::function<void()>& handler) noexcept;  // false when it did not complete
