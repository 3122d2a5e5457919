// Choosing where the file goes: the drive, directory and file boxes. The
// directory chosen becomes the program's current directory, against which a
// plain file name is saved.
#include "writefileform.h"

#include "listboxes.h"

#include <QComboBox>
#include <QDir>

void WriteFileForm::WriteDir_Change()
{
    WriteList->setPath(WriteDir->path());
    QDir::setCurrent(WriteDir->path());
    ShowDriveOf(WriteDir->path());
}

void WriteFileForm::WriteDrive_Change()
{
    // A drive that cannot be entered leaves everything as it was, the drive box
    // showing the directory's drive again, silently.
    if (!WriteDir->setPath(WriteDrive->currentText()))
        ShowDriveOf(WriteDir->path());
}

void WriteFileForm::WriteList_Click() { WriteDir_Change(); }
