// "Analyse Sweep": the analysis window on the program's own sweep.
#include "testform.h"

#include "analysis/window/analysiswindow.h"
#include "board/declare.h"

#include <QPushButton>
#include <QTime>
#include <algorithm>

namespace {
std::function<QString(int)> rangeSource;
}

void TestForm::SetRangeSource(std::function<QString(int channel)> source) { rangeSource = std::move(source); }

void TestForm::RecordSweepStart()
{
    AnalyseSweep->setEnabled(false);  // the arrays are being refilled
    sweep_ = SweepRecord{};
    for (int ch = 0; ch < 4; ++ch)
        sweep_.ranges[static_cast<size_t>(ch)] = rangeSource ? rangeSource(ch) : QString();
    sweep_.twosComplement = State.BinPin == 0;
    sweep_.resolution = State.ResolutionBits;
}

void TestForm::AnalyseSweep_Click()
{
    analysis::SweepData data;
    const std::array<const std::vector<float>*, 4> arrays{&State.SweepVoltsA, &State.SweepVoltsB, &State.SweepVoltsC,
                                                          &State.SweepVoltsD};
    size_t steps = static_cast<size_t>(std::max(sweep_.steps, 0));
    for (const auto* volts : arrays)
        steps = std::min(steps, volts->size());
    for (size_t ch = 0; ch < 4; ++ch)
        data.volts[ch].assign(arrays[ch]->begin(), arrays[ch]->begin() + static_cast<ptrdiff_t>(steps));
    data.lines = steps;

    AnalysisWindow::RangeChoice ranges;
    for (size_t ch = 0; ch < 4; ++ch)
        ranges[ch] = analysis::RangeFromText(sweep_.ranges[ch].toStdString());
    const QString source = QString("The program's sweep, %1 of 65536 steps, analysed at %2")
                               .arg(steps)
                               .arg(QTime::currentTime().toString("HH:mm:ss"));
    AnalysisWindow& window = AnalysisWindow::ForSweep();
    window.ShowSweep(std::move(data), ranges,
                     sweep_.twosComplement ? analysis::Coding::TwosComplement : analysis::Coding::Binary,
                     sweep_.resolution, source);
    window.show();
    window.raise();
    window.activateWindow();
}
