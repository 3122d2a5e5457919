// Hardware control pins: CLR, BIN/2sCOMP and LDAC, and the automatic LDAC pulse.
#include "mainform.h"
#include "platform/toggle.h"

#include <QCheckBox>

void MainForm::PinSwitch(Toggle* toggle, int16_t& pin)
{
    pin = toggle->value() ? 1 : 0;
    WritePinControl();
}

void MainForm::Toggle10_Event9() { PinSwitch(Toggle10, State.ClrPin); }
void MainForm::Toggle11_Event9() { PinSwitch(Toggle11, State.BinPin); }
void MainForm::Toggle12_Event9() { PinSwitch(Toggle12, State.LdacPin); }

void MainForm::Check1_Click()
{
    if (Check1->checkState() == Qt::Checked) {
        Toggle12->setValue(true);
        Toggle12->setEnabled(false);
        State.LdacPin = 1;
        WritePinControl();
    }
    if (Check1->checkState() == Qt::Unchecked)
        Toggle12->setEnabled(true);
}
