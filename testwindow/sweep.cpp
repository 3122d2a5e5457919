// The sweep: all four DACs step together through every code; after each step
// the four outputs are measured and stored for the file writer.
#include "testform.h"
#include "writefileform.h"

#include "board/primitives.h"
#include "board/ops.h"
#include "runtime/events.h"
#include "runtime/programend.h"
#include "controls/repaint.h"

#include <QLabel>
#include <QPushButton>

void TestForm::Command1_Click()
{
    const Busy busy(*this, owner::Activity::Sweep);
    if (!busy.Held())
        return;
    RecordSweepStart();
    ops::StartSweepArrays();
    for (int32_t i = 0; i < State.SampleCount; ++i) {
        DoEvents();
        if (StopRequested == 1 || ProgramHasEnded())
            break;
        ops::SweepStep(i);
        SetCaptionAndRepaint(*Label1, QString::number(i));
    }
    AnalyseSweep->setEnabled(true);
    if (ProgramHasEnded())
        return;
    WriteFileForm::Open();
    StopRequested = 0;
}

void TestForm::Command2_Click() { StopRequested = 1; }
