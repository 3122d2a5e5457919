#include "harness.h"

#include "board/boardlink.h"
#include "board/primitives.h"
#include "board/connection.h"
#include "runtime/processstart.h"
#include "runtime/programend.h"

#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace harness {
namespace {
std::string tracePath;
std::vector<MsgBoxRequest> boxes;
std::deque<MsgAnswer> answers;
}  // namespace

std::string BuildDir() { return QV_TEST_BUILD_DIR; }

void Setup(bool second, bool trace)
{
    PrepareProcess();  // as every program does first
    if (!trace) {
        unsetenv("EVLINK_TRACE");
    } else if (const char* preset = std::getenv("EVLINK_TRACE"); preset != nullptr && *preset != '\0') {
        tracePath = preset;
    } else {
        tracePath = std::string(QV_TEST_TRACE_DIR) + "/trace-" + std::to_string(getpid()) + ".log";
        setenv("EVLINK_TRACE", tracePath.c_str(), 1);
    }
    // The simulated board is never fallen into: each test asks for it by name
    // (EVLINK_SIM in its environment), or gets the real boards only.
    SetProgramDirectory(BuildDir());
    SetMsgBoxHandler([](const MsgBoxRequest& r) {
        boxes.push_back(r);
        if (!answers.empty()) {
            const MsgAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return r.buttons == MsgButtons::RetryCancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
    });
    SetEndHandler([] {});
    UseEdition(second ? SecondEdition() : FirstEdition());
    if (trace)
        ClearTrace();
    Reset();
}

std::vector<std::string> Trace()
{
    std::vector<std::string> lines;
    std::ifstream in(tracePath);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Requests()
{
    std::vector<std::string> out;
    for (auto& l : Trace())
        if (l.rfind("request ", 0) == 0)
            out.push_back(l);
    return out;
}

void ClearTrace() { std::ofstream(tracePath, std::ios::trunc); }

std::vector<MsgBoxRequest>& ShownBoxes() { return boxes; }
std::deque<MsgAnswer>& Answers() { return answers; }

void Reset()
{
    ClearProgramState();
    SetStartValues();
    boxes.clear();
    answers.clear();
    ResetProgramEnded();
}

bool Ended() { return ProgramHasEnded(); }

}  // namespace harness
