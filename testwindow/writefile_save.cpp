// Saving the sweep: "&Save File" and Enter in the name box.
#include "writefileform.h"

#include "board/sweeprecord.h"
#include "listboxes.h"
#include "runtime/msgbox.h"

#include <QFile>
#include <QLineEdit>

void WriteFileForm::Command1_Click()
{
    WriteFailed = 0;
    WriteDataFile();
    if (WriteFailed == 0) {
        WriteList->setPath(WriteDir->path());  // the new file shows in the list
        MsgBox("File Written Successfully", MsgButtons::Ok, MsgIcon::None, ProgramTitle());
    }
}

void WriteFileForm::FileName_KeyPress(int16_t& KeyAscii)
{
    if (KeyAscii != 13)
        return;
    KeyAscii = 0;
    Command1_Click();
}

void WriteFileForm::WriteDataFile()
{
    // The whole file is built first and replaces the old one only once it is
    // completely written: a failed save loses nothing.
    const std::string path = QFile::encodeName(FileName->text()).toStdString();
    std::string why;
    std::string companionWhy;
    if (!sweeprecord::SaveDataFile(path, why, &companionWhy)) {
        WriteFailed = 1;
        MsgBox("Error Creating File", MsgButtons::Ok, MsgIcon::None, ProgramTitle());
    } else if (!companionWhy.empty()) {
        // The data file is complete; only what the sweep ran under is missing beside it.
        MsgBox("The data file was written, but not the file of the sweep's conditions beside it (" + path +
                   ".json): " + companionWhy + ". Give the range, coding and resolution when analysing it.",
               MsgButtons::Ok, MsgIcon::Exclamation, ProgramTitle());
    }
}
