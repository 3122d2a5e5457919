#include "writefileform.h"

#include "listboxes.h"
#include "mounts.h"
#include "runtime/guard.h"
#include "controls/ui.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {
WriteFileForm* instance = nullptr;
}

WriteFileForm& WriteFileForm::Open()
{
    return OpenKept(instance, [] { return new WriteFileForm; });
}

bool WriteFileForm::Exists() { return instance != nullptr; }

WriteFileForm::WriteFileForm()
{
    setObjectName("WriteFileForm");
    setWindowTitle("RZ3102 Evaluation Software - Write Data to File");
    setFont(ToolFont(8.25, true));
    BuildLayout();

    connect(Command1, &QPushButton::clicked, this, QV_SLOT(Command1_Click));
    connect(Command2, &QPushButton::clicked, this, QV_SLOT(Command2_Click));
    connect(WriteDir, &DirListBox::Change, this, QV_SLOT(WriteDir_Change));
    connect(WriteList, &FileListBox::Click, this, QV_SLOT(WriteList_Click));
    connect(WriteDrive, &QComboBox::activated, this, QV_SLOT(WriteDrive_Change));
    FileName->installEventFilter(this);
}

void WriteFileForm::BuildLayout()
{
    Frame3 = MakeControl<QGroupBox>(this, "Frame3", "Title");
    Label2 = MakeControl<QLabel>(Frame3, "Label2", "Write to File");
    Label2->setText("Write to File");
    Label2->setFont(ToolFont(18, true));
    Label2->setAlignment(Qt::AlignCenter);
    (new QVBoxLayout(Frame3))->addWidget(Label2);

    Frame1 = MakeControl<QGroupBox>(this, "Frame1", "Select File Location");
    Frame1->setTitle("Select File Location");
    Command2 = MakeControl<QPushButton>(Frame1, "Command2", "Main Menu");
    Command2->setText("&Main Menu");
    Command1 = MakeControl<QPushButton>(Frame1, "Command1", "Save File");
    Command1->setText("&Save File");

    Frame2 = MakeControl<QGroupBox>(Frame1, "Frame2", "Save Data as");
    Frame2->setTitle("Save Data as");
    DecimalOpt = MakeControl<QRadioButton>(Frame2, "DecimalOpt", "Decimal");
    DecimalOpt->setText("Decimal");
    HexOpt = MakeControl<QRadioButton>(Frame2, "HexOpt", "Hex");
    HexOpt->setText("Hex");
    auto* options = new QHBoxLayout(Frame2);
    options->addWidget(DecimalOpt);
    options->addWidget(HexOpt);

    Label1 = MakeControl<QLabel>(Frame1, "Label1", "Save file as:");
    Label1->setText("Save file as:");
    FileName = MakeControl<QLineEdit>(Frame1, "FileName", "Save file as");
    Label1->setBuddy(FileName);
    WriteList = MakeControl<FileListBox>(Frame1, "WriteList", "Files in the chosen folder");
    WriteDir = MakeControl<DirListBox>(Frame1, "WriteDir", "Folder");
    WriteDrive = MakeControl<QComboBox>(Frame1, "WriteDrive", "Drive");

    auto* grid = new QGridLayout(Frame1);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(FileName, 1, 0);
    grid->addWidget(WriteList, 2, 0, 2, 1);
    grid->addWidget(WriteDrive, 0, 1, 2, 1, Qt::AlignBottom);
    grid->addWidget(WriteDir, 2, 1, 2, 1);
    grid->addWidget(Frame2, 4, 0);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    grid->addLayout(buttons, 4, 1);
    grid->setColumnMinimumWidth(0, 200);
    grid->setColumnMinimumWidth(1, 200);

    auto* page = new QVBoxLayout(this);
    page->addWidget(Frame3);
    page->addWidget(Frame1);

    QWidget* const tabOrder[] = {FileName, Command1, Command2, WriteDrive, WriteDir, WriteList, DecimalOpt};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void WriteFileForm::Form_Load()
{
    loaded_ = true;
    FileNumber = 1;
    DecimalOpt->setChecked(true);
    FileName->setText("Default.dat");
    // The boxes show the current directory as it is; nothing is changed yet.
    const QString here = QDir::currentPath();
    WriteDir->setPathQuietly(here);
    WriteList->setPath(WriteDir->path());
    FillDrives();
    ShowDriveOf(WriteDir->path());
    CenterOnScreen(this);
    FileName->setFocus();
}

void WriteFileForm::Command2_Click() { close(); }

void WriteFileForm::closeEvent(QCloseEvent* event)
{
    loaded_ = false;
    event->accept();
}

bool WriteFileForm::eventFilter(QObject* watched, QEvent* event)
{
    // Only Enter means anything to the name box; every other key is its own.
    if (watched == FileName && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            int16_t keyAscii = 13;
            Guarded([this, &keyAscii] { FileName_KeyPress(keyAscii); });
            if (keyAscii == 0)
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void WriteFileForm::FillDrives()
{
    const QSignalBlocker quiet(WriteDrive);
    WriteDrive->clear();
    for (const auto& m : MountedFileSystems())
        WriteDrive->addItem(QString::fromStdString(m));
}

void WriteFileForm::ShowDriveOf(const QString& path)
{
    std::vector<std::string> mounts;
    for (int i = 0; i < WriteDrive->count(); ++i)
        mounts.push_back(WriteDrive->itemText(i).toStdString());
    const QString drive = QString::fromStdString(MountPointOf(path.toStdString(), mounts));
    const QSignalBlocker quiet(WriteDrive);
    WriteDrive->setCurrentIndex(WriteDrive->findText(drive));
}
