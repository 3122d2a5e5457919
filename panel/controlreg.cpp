// Control register: four function switches, LOAD, CLEAR and read-back.
#include "mainform.h"
#include "platform/toggle.h"

namespace {
constexpr int16_t kControlRegister = 3;
constexpr int16_t kFunctionAddress = 1;
constexpr int16_t kClearAddress = 4;
constexpr int16_t kLoadAddress = 5;

void SendCommand(int16_t address)
{
    State.ChannelAddress = address;
    State.RegisterSelect = kControlRegister;
    State.DataWord = 0;
    State.ReadFlag = 0;
    WriteFrame(State.ChannelAddress, State.RegisterSelect, State.DataWord);
}
}  // namespace

void MainForm::ControlSwitch(Toggle* toggle, int bit)
{
    State.RegisterSelect = kControlRegister;
    State.ChannelAddress = kFunctionAddress;
    State.ReadFlag = 0;
    if (toggle->value())
        State.ControlData |= (1 << bit);
    else
        State.ControlData &= ~(1 << bit);
    State.RegisterData = FrameImage(0, kControlRegister, kFunctionAddress, State.ControlData);
    ShowFrameBits(State.RegisterData);
    WriteFrame(State.ChannelAddress, State.RegisterSelect, State.ControlData);
}

void MainForm::Toggle1_Event9() { ControlSwitch(Toggle1, 3); }
void MainForm::Toggle2_Event9() { ControlSwitch(Toggle2, 2); }
void MainForm::Toggle3_Event9() { ControlSwitch(Toggle3, 1); }
void MainForm::Toggle4_Event9() { ControlSwitch(Toggle4, 0); }

void MainForm::Command4_Click() { SendCommand(kClearAddress); }
void MainForm::Command3_Click() { SendCommand(kLoadAddress); }

void MainForm::Command2_Click()
{
    State.RegisterSelect = kControlRegister;
    State.ChannelAddress = kFunctionAddress;
    State.ReadFlag = 1;
    State.ControlData = ReadRegister(State.ChannelAddress, State.RegisterSelect);
    const int32_t v = State.ControlData;
    Toggle1->setValue((v & 8) != 0);
    Toggle2->setValue((v & 4) != 0);
    Toggle3->setValue((v & 2) != 0);
    Toggle4->setValue((v & 1) != 0);
    State.RegisterSelect = kControlRegister;
    State.ChannelAddress = kFunctionAddress;
    State.ReadFlag = 1;
    State.RegisterData = FrameImage(1, kControlRegister, kFunctionAddress, State.ControlData);
    ShowFrameBits(State.RegisterData);
}
