// "Analyse Results": the run's results file in an analysis window of its own.
#include "characterisewindow.h"

#include "analysis/window/analysiswindow.h"
#include "characterise/session.h"
#include "controls/ui.h"

#include <QFile>

namespace {
AnalysisWindow* resultsWindow = nullptr;
}

AnalysisWindow* CharacteriseWindow::ResultsWindow() { return resultsWindow; }

void CharacteriseWindow::Analyse_Click()
{
    if (resultsWindow == nullptr)
        resultsWindow = new AnalysisWindow;
    QString why;
    const QString path = QFile::decodeName(characterise::Session::Instance().ResultsPath().c_str());
    if (!resultsWindow->OpenFile(path, {}, &why)) {
        SetMessage(why, true);
        return;
    }
    ShowAndRaise(resultsWindow);
}
