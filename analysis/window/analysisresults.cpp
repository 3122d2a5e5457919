// A characterisation's results file in the analysis window: its one channel,
// at the codes measured, under the conditions the file recorded (the range,
// coding and resolution boxes still change them).
#include "analysiswindow.h"

#include "runtime/msgbox.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

using namespace analysis;

bool AnalysisWindow::openResults(const QString& path, QString* why, bool fromMenu)
{
    Results results;
    ReadError error;
    if (!ReadResultsFile(QFile::encodeName(path).toStdString(), results, error)) {
        const QString text = QString("Cannot read %1: %2").arg(path, QString::fromStdString(error.Text()));
        showError(text);
        if (fromMenu)
            MsgBox(text.toStdString(), MsgButtons::Ok, MsgIcon::Exclamation, windowTitle().toStdString());
        if (why != nullptr)
            *why = text;
        return false;
    }
    const ResultsHeader& h = results.header;
    Chosen chosen;
    chosen.channels.fill(h.conditions);
    chosen.notes[static_cast<size_t>(h.channel)] = ResultsNote(results);
    const QString source = QString("%1: characterisation of channel %2, %3 of %4 codes, started %5 on %6")
                               .arg(QFileInfo(path).fileName())
                               .arg(QChar('A' + h.channel))
                               .arg(results.codes.size())
                               .arg(h.codesPlanned)
                               .arg(QString::fromStdString(h.started), QString::fromStdString(h.board));
    for (int ch = 0; ch < kChannels; ++ch)
        shown_[static_cast<size_t>(ch)]->setChecked(ch == h.channel);
    present({}, std::move(chosen), source);  // which forgets what was shown before
    results_ = std::move(results);
    recompute();
    setWindowFilePath(path);
    return true;
}
