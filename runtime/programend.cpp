#include "programend.h"

#include <cstdio>
#include <cstdlib>

namespace {
std::function<void()>& handlerSlot()
{
    static std::function<void()> h;
    return h;
}
bool ended = false;
}  // namespace

void SetEndHandler(std::function<void()> handler) { handlerSlot() = std::move(handler); }
bool ProgramHasEnded() { return ended; }
void ResetProgramEnded() { ended = false; }

void EndProgram()
{
    ended = true;
    if (handlerSlot()) {
        handlerSlot()();
    } else {
        // Nothing is saved and nothing is sent on the way out; the process ends here.
        std::fflush(nullptr);
        std::_Exit(0);
    }
    throw ProgramEnded{};
}
