// Output range registers: a pick in a range box writes the channel's range
// register; "Read" shows the range the device holds.
#include "codetext.h"
#include "mainform.h"
#include "pickbox.h"

#include <QComboBox>

namespace {
constexpr int16_t kRangeRegister = 1;

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
    State.RegisterSelect = kRangeRegister;
    State.ChannelAddress = address;
    State.ReadFlag = 0;
    const QString text = box->currentText();
    for (int16_t code = 0; code < 6; ++code)
        if (text == QString::fromUtf8(kRangeTexts[code]))
            State.RangeCode = code;  // a text that is none of the six keeps the last code
    State.RegisterData = FrameImage(0, kRangeRegister, address, State.RangeCode);
    ShowFrameBits(State.RegisterData);
    int32_t data = State.RangeCode;
    WriteFrame(State.ChannelAddress, State.RegisterSelect, data);
}

void MainForm::ReadRange(QComboBox* box, int16_t address)
{
    State.RegisterSelect = kRangeRegister;
    State.ChannelAddress = address;
    State.ReadFlag = 1;
    State.DataWord = ReadRegister(State.ChannelAddress, State.RegisterSelect);
    if (State.DataWord >= 0 && State.DataWord <= 5)
        ShowRange(box, QString::fromUtf8(kRangeTexts[State.DataWord]));
    State.RegisterSelect = kRangeRegister;
    State.ChannelAddress = address;
    State.ReadFlag = 1;
    State.RegisterData = FrameImage(1, kRangeRegister, address, State.DataWord);
    ShowFrameBits(State.RegisterData);
}

void MainForm::ComboRangeA_Click() { SelectRange(ComboRangeA, 0); }
void MainForm::ComboRangeB_Click() { SelectRange(ComboRangeB, 1); }
void MainForm::ComboRangeC_Click() { SelectRange(ComboRangeC, 2); }
void MainForm::ComboRangeD_Click() { SelectRange(ComboRangeD, 3); }
void MainForm::Command5_Click() { ReadRange(ComboRangeA, 0); }
void MainForm::Command13_Click() { ReadRange(ComboRangeB, 1); }
void MainForm::Command12_Click() { ReadRange(ComboRangeC, 2); }
void MainForm::Command11_Click() { ReadRange(ComboRangeD, 3); }
