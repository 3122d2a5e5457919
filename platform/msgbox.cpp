#include "msgbox.h"

#include <QApplication>
#include <QMessageBox>

namespace {
MsgBoxHandler& handlerSlot()
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
const std::string& ProgramTitle() { return titleSlot(); }
void SetProgramTitle(std::string title) { titleSlot() = std::move(title); }

MsgAnswer MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon, const std::string& title)
{
    if (handlerSlot())
        return handlerSlot()(MsgBoxRequest{text, buttons, icon, title});

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text));
    box.setIcon(icon == MsgIcon::Exclamation ? QMessageBox::Warning
                : icon == MsgIcon::Critical  ? QMessageBox::Critical
                                             : QMessageBox::NoIcon);
    if (buttons == MsgButtons::RetryCancel) {
        box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Retry);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (answer == QMessageBox::Retry)
        return MsgAnswer::Retry;
    if (answer == QMessageBox::Cancel)
        return MsgAnswer::Cancel;
    return buttons == MsgButtons::RetryCancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
}
