// DAC register read-back, and "Read all Registers and Update Display".
#include "codetext.h"
#include "mainform.h"

#include <QLabel>

void MainForm::ReadDacCode(int16_t address, QLabel* label)
{
    const int32_t code = ops::ReadDacCode(address);
    label->setText(QString::fromStdString(State.Coding == "Hex" ? FormatHexCode(code) : std::to_string(code)));
}

void MainForm::Command7_Click() { ReadDacCode(0, Label8); }
void MainForm::Command8_Click() { ReadDacCode(1, Label9); }
void MainForm::Command9_Click() { ReadDacCode(2, Label10); }
void MainForm::Command10_Click() { ReadDacCode(3, Label11); }

void MainForm::Command1_Click()
{
    Command7_Click();
    Command8_Click();
    Command9_Click();
    Command10_Click();
    Command6_Click();
    Command2_Click();
    Command5_Click();
    Command13_Click();
    Command12_Click();
    Command11_Click();
    ops::FinishReadAll();
}
