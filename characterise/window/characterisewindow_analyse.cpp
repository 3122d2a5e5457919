// "Analyse Results": the run's results file in the analysis window.
#include "characterisewindow.h"

#include "characterise/session.h"

#include <QLabel>

void CharacteriseWindow::Analyse_Click()
{
    Message->setText("Results: " + QString::fromStdString(characterise::Session::Instance().ResultsPath()));
}
