// Power control register: power-up switches, alarm lamps and read-back.
#include "mainform.h"
#include "platform/led.h"
#include "platform/toggle.h"

namespace {
constexpr int16_t kPowerRegister = 2;
constexpr int Bit(int32_t v, int b) { return (v >> b) & 1; }
}  // namespace

void MainForm::PowerSwitch(Toggle* toggle, int bit)
{
    State.RegisterSelect = kPowerRegister;
    State.ChannelAddress = 0;
    State.ReadFlag = 0;
    if (toggle->value())
        State.PowerData |= (1 << bit);
    else
        State.PowerData &= ~(1 << bit);
    State.RegisterData = FrameImage(0, kPowerRegister, 0, State.PowerData);
    ShowFrameBits(State.RegisterData);
    WriteFrame(State.ChannelAddress, State.RegisterSelect, State.PowerData);
}

void MainForm::Toggle5_Event9() { PowerSwitch(Toggle5, 0); }
void MainForm::Toggle6_Event9() { PowerSwitch(Toggle6, 1); }
void MainForm::Toggle7_Event9() { PowerSwitch(Toggle7, 2); }
void MainForm::Toggle8_Event9() { PowerSwitch(Toggle8, 3); }
void MainForm::Toggle9_Event9() { PowerSwitch(Toggle9, 4); }

void MainForm::Command6_Click()
{
    State.RegisterSelect = kPowerRegister;
    State.ChannelAddress = 0;
    State.ReadFlag = 1;
    const int32_t v = ReadRegister(State.ChannelAddress, State.RegisterSelect);
    State.DataWord = v;
    State.PowerData = v;
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
    State.RegisterSelect = kPowerRegister;
    State.ChannelAddress = 0;
    State.ReadFlag = 1;
    State.RegisterData = FrameImage(1, kPowerRegister, 0, State.DataWord);
    ShowFrameBits(State.RegisterData);
}
