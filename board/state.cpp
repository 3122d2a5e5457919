#include "state.h"

ProgramState State;

namespace {
uint64_t sweepGeneration = 0;
}

void ClearProgramState()
{
    State = ProgramState{};
    SweepChanged();
}

uint64_t SweepGeneration() { return sweepGeneration; }
void SweepChanged() { ++sweepGeneration; }

void SetStartValues()
{
    State.Coding = "Hex";
    SetBoardStartValues();
}

void SetBoardStartValues()
{
    State.PinB7 = 1;
    State.LdacPin = 1;
    State.ClrPin = 1;
    State.BinPin = 1;
    State.PinB0 = 1;
    State.PinB6 = 0;
    State.PinB5 = 0;
    State.DataWord = 0;
    State.ChannelAddress = 0;
    State.RegisterSelect = 0;
    State.ReadFlag = 0;
    State.ResolutionBits = 16;
}

