// Hardware control pins: CLR, BIN/2sCOMP and LDAC, and the automatic LDAC pulse.
#include "board/ops.h"
#include "mainform.h"
#include "controls/toggle.h"

#include <QCheckBox>

void MainForm::PinSwitch(Toggle* toggle, int16_t& pin)
{
    ops::SetPin(pin, toggle->value());
}

void MainForm::Toggle10_Event9() { PinSwitch(Toggle10, State.ClrPin); }
void MainForm::Toggle11_Event9() { PinSwitch(Toggle11, State.BinPin); }
void MainForm::Toggle12_Event9() { PinSwitch(Toggle12, State.LdacPin); }

void MainForm::Check1_Click()
{
    if (Check1->checkState() == Qt::Checked) {
        Toggle12->setValue(true);
        Toggle12->setEnabled(false);
        ops::HoldLdacHigh();
    }
    if (Check1->checkState() == Qt::Unchecked)
        Toggle12->setEnabled(true);
}
