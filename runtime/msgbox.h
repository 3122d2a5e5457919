#pragma once
// Message boxes. Every box the program shows goes through MsgBox, so tests can
// answer them without a modal dialog (SetMsgBoxHandler). The dialog itself is
// the windowing layer's (controls/widgetmsgbox.h); without one, the text goes
// to standard error and the answer is Cancel (or Ok).
#include <functional>
#include <string>

enum class MsgButtons { Ok, RetryCancel };
enum class MsgIcon { None, Exclamation, Critical };
enum class MsgAnswer { Ok, Retry, Cancel };

struct MsgBoxRequest {
    std::string text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    std::string title;
};

MsgAnswer MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title);

// Replaces the interactive dialog; pass an empty function to restore it.
using MsgBoxHandler = std::function<MsgAnswer(const MsgBoxRequest&)>;
void SetMsgBoxHandler(MsgBoxHandler handler);
// The interactive dialog, installed once by a program with windows.
void SetMsgBoxDialog(MsgBoxHandler dialog);

// The program's own title, used by message boxes that carry it.
const std::string& ProgramTitle();
void SetProgramTitle(std::string title);
