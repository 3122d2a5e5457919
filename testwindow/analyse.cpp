// "Analyse Sweep": the analysis window on the program's own sweep.
#include "testform.h"

#include "analysis/window/analysiswindow.h"
#include "board/identity.h"
#include "board/sweeprecord.h"

#include <QPushButton>
#include <QTime>

void TestForm::RecordSweepStart()
{
    AnalyseSweep->setEnabled(false);  // the arrays are being refilled
}

void TestForm::AnalyseSweep_Click()
{
    analysis::SweepData data = sweeprecord::Readings();
    const QString source = QString("The program's sweep, %1 of 65536 steps, analysed at %2")
                               .arg(data.samples())
                               .arg(QTime::currentTime().toString("HH:mm:ss")) +
                           QString::fromStdString(SimulatedBoardMark());
    AnalysisWindow& window = AnalysisWindow::ForSweep();
    const analysis::RecordedSweep recorded = sweeprecord::Recorded();
    window.ShowSweep(std::move(data), &recorded, source);
    window.show();
    window.raise();
    window.activateWindow();
}
