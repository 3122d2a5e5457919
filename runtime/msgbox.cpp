#include "msgbox.h"

#include <cstdio>

namespace {
MsgBoxHandler& handlerSlot()
{
    static MsgBoxHandler h;
    return h;
}
MsgBoxHandler& dialogSlot()
{
    static MsgBoxHandler h;
    return h;
}
std::string& titleSlot()
{
    static std::string t = "QV4816X";
    return t;
}
}  // namespace

void SetMsgBoxHandler(MsgBoxHandler handler) { handlerSlot() = std::move(handler); }
void SetMsgBoxDialog(MsgBoxHandler dialog) { dialogSlot() = std::move(dialog); }
const std::string& ProgramTitle() { return titleSlot(); }
void SetProgramTitle(std::string title) { titleSlot() = std::move(title); }

MsgAnswer MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title)
{
    const MsgBoxRequest request{text, buttons, icon, title};
    if (handlerSlot())
        return handlerSlot()(request);
    if (dialogSlot())
        return dialogSlot()(request);
    // No window to show it in: the text goes to standard error, and the
    // answer is the one that gives up.
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return buttons == MsgButtons::RetryCancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
}
