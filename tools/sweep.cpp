// The sweep: all four DACs step together through every code; after each step
// the four outputs are measured and stored for the file writer.
#include "testform.h"
#include "writefileform.h"

#include "board/adc.h"
#include "board/declare.h"
#include "platform/events.h"
#include "platform/programend.h"
#include "platform/repaint.h"

#include <QLabel>
#include <QPushButton>

namespace {
constexpr int32_t kSweepSamples = 65536;
}  // namespace

void TestForm::Command1_Click()
{
    const Busy busy(*this);
    State.SampleCount = kSweepSamples;
    for (auto* volts : {&State.SweepVoltsA, &State.SweepVoltsB, &State.SweepVoltsC, &State.SweepVoltsD})
        volts->assign(static_cast<size_t>(State.SampleCount) + 1, 0.0f);

    int16_t address = 0;
    int16_t reg = 0;
    int32_t code = 0;
    for (int32_t i = 0; i < State.SampleCount; ++i) {
        DoEvents();
        if (StopRequested == 1 || ProgramHasEnded())
            break;
        State.ReadFlag = 0;
        for (int16_t a = 0; a < 4; ++a) {
            address = a;
            reg = 0;
            code = i;
            WriteFrame(address, reg, code);
        }
        const auto at = static_cast<size_t>(i);
        State.SweepVoltsA[at] = MeasureChannel(0);
        State.SweepVoltsB[at] = MeasureChannel(1);
        State.SweepVoltsC[at] = MeasureChannel(2);
        State.SweepVoltsD[at] = MeasureChannel(3);
        SetCaptionAndRepaint(*Label1, QString::number(i));
    }
    if (ProgramHasEnded())
        return;
    WriteFileForm::Open();
    StopRequested = 0;
}

void TestForm::Command2_Click() { StopRequested = 1; }
