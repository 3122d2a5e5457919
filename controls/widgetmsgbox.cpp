#include "widgetmsgbox.h"

#include "runtime/msgbox.h"

#include <QApplication>
#include <QMessageBox>

namespace {
MsgAnswer ShowDialog(const MsgBoxRequest& request)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(request.title));
    box.setText(QString::fromStdString(request.text));
    box.setIcon(request.icon == MsgIcon::Exclamation ? QMessageBox::Warning
                : request.icon == MsgIcon::Critical  ? QMessageBox::Critical
                                                     : QMessageBox::NoIcon);
    if (request.buttons == MsgButtons::RetryCancel) {
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
    return request.buttons == MsgButtons::RetryCancel ? MsgAnswer::Cancel : MsgAnswer::Ok;
}
}  // namespace

void UseWidgetMessageBoxes() { SetMsgBoxDialog(ShowDialog); }
