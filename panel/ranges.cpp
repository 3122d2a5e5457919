// Output range registers: a pick in a range box writes the channel's range
// register; "Read" shows the range the device holds.
#include "board/ops.h"
#include "codetext.h"
#include "mainform.h"
#include "pickbox.h"

#include <QComboBox>

namespace {
// Shows a range read back. The box's selection moves with its text, so that
// the arrow keys and the open list go on from the range shown; neither raises
// the pick event.
void ShowRange(QComboBox* box, const QString& text)
{
    const int index = box->findText(text);
    if (index >= 0)
        box->setCurrentIndex(index);
    else
        box->setEditText(text);
}
}  // namespace

void MainForm::SelectRange(QComboBox* box, int16_t address)
{
    const QString text = box->currentText();
    int16_t picked = State.RangeCode;  // a text that is none of the six keeps the last code
    for (int16_t code = 0; code < 6; ++code)
        if (text == QString::fromStdString(RangeText(code)))
            picked = code;
    ops::WriteRange(address, picked);
}

void MainForm::ReadRange(QComboBox* box, int16_t address)
{
    const int32_t code = ops::ReadRange(address);
    if (code >= 0 && code <= 5)
        ShowRange(box, QString::fromStdString(RangeText(code)));
}

void MainForm::ComboRangeA_Click() { SelectRange(ComboRangeA, 0); }
void MainForm::ComboRangeB_Click() { SelectRange(ComboRangeB, 1); }
void MainForm::ComboRangeC_Click() { SelectRange(ComboRangeC, 2); }
void MainForm::ComboRangeD_Click() { SelectRange(ComboRangeD, 3); }
void MainForm::Command5_Click() { ReadRange(ComboRangeA, 0); }
void MainForm::Command13_Click() { ReadRange(ComboRangeB, 1); }
void MainForm::Command12_Click() { ReadRange(ComboRangeC, 2); }
void MainForm::Command11_Click() { ReadRange(ComboRangeD, 3); }
