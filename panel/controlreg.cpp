// Control register: four function switches, LOAD, CLEAR and read-back.
#include "board/ops.h"
#include "mainform.h"
#include "controls/toggle.h"

void MainForm::ControlSwitch(Toggle* toggle, int bit) { ops::SetControlBit(bit, toggle->value()); }

void MainForm::Toggle1_Event9() { ControlSwitch(Toggle1, 3); }
void MainForm::Toggle2_Event9() { ControlSwitch(Toggle2, 2); }
void MainForm::Toggle3_Event9() { ControlSwitch(Toggle3, 1); }
void MainForm::Toggle4_Event9() { ControlSwitch(Toggle4, 0); }

void MainForm::Command4_Click() { ops::SendClear(); }
void MainForm::Command3_Click() { ops::SendLoad(); }

void MainForm::Command2_Click()
{
    const int32_t v = ops::ReadControl();
    Toggle1->setValue((v & 8) != 0);
    Toggle2->setValue((v & 4) != 0);
    Toggle3->setValue((v & 2) != 0);
    Toggle4->setValue((v & 1) != 0);
}
