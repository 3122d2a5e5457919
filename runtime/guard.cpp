#include "guard.h"

#include "msgbox.h"
#include "programend.h"
#include "runtimeerror.h"

#include <cstdio>
#include <exception>

namespace {
void showAndEnd(const RunTimeError& e) noexcept
{
    try {
        MsgBox(e.message(), MsgButtons::Ok, MsgIcon::Critical, ProgramTitle());
        EndProgram();
    } catch (...) {
        // ProgramEnded, or a failure while reporting: either way the program is over.
    }
}
}  // namespace

void ReportUncaught(const char* where) noexcept
{
    try {
        throw;
    } catch (const ProgramEnded&) {
    } catch (const RunTimeError& e) {
        showAndEnd(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", where, e.what());
        showAndEnd(RunTimeError::Internal(e.what()));
    } catch (...) {
        std::fprintf(stderr, "%s: unknown exception\n", where);
        showAndEnd(RunTimeError::Internal("unknown exception"));
    }
}

bool Guarded(const std::function<void()>& handler) noexcept
{
    if (ProgramHasEnded())
        return false;
    try {
        handler();
        return true;
    } catch (...) {
        ReportUncaught("event handler");
        return false;
    }
}
