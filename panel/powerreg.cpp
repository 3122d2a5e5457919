// Power control register: power-up switches, alarm lamps and read-back.
#include "board/ops.h"
#include "mainform.h"
#include "controls/led.h"
#include "controls/toggle.h"

namespace {
constexpr int Bit(int32_t v, int b) { return (v >> b) & 1; }
}  // namespace

void MainForm::PowerSwitch(Toggle* toggle, int bit) { ops::SetPowerBit(bit, toggle->value()); }

void MainForm::Toggle5_Event9() { PowerSwitch(Toggle5, 0); }
void MainForm::Toggle6_Event9() { PowerSwitch(Toggle6, 1); }
void MainForm::Toggle7_Event9() { PowerSwitch(Toggle7, 2); }
void MainForm::Toggle8_Event9() { PowerSwitch(Toggle8, 3); }
void MainForm::Toggle9_Event9() { PowerSwitch(Toggle9, 4); }

void MainForm::Command6_Click()
{
    const int32_t v = ops::ReadPower();
    Toggle5->setValue(Bit(v, 0));
    Toggle6->setValue(Bit(v, 1));
    Toggle7->setValue(Bit(v, 2));
    Toggle8->setValue(Bit(v, 3));
    Toggle9->setValue(Bit(v, 4));
    LED1->setLit(Bit(v, 7));
    LED2->setLit(Bit(v, 8));
    LED3->setLit(Bit(v, 9));
    LED4->setLit(Bit(v, 10));
    LED5->setLit(Bit(v, 5));
}
