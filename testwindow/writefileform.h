#pragma once
// The data file writer: saves the last sweep as comma-separated text. Opened by
// every sweep's end; closing it only unloads it.
#include <QWidget>
#include <cstdint>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class DirListBox;
class FileListBox;

class WriteFileForm : public QWidget {
    Q_OBJECT
public:
    // Created on first use and kept; loaded again after a close; shown, not
    // modal, and raised.
    static WriteFileForm& Open();
    static bool Exists();
    bool Loaded() const { return loaded_; }

    void Form_Load();
    void Command1_Click();  // "&Save File"
    void Command2_Click();  // "&Main Menu"
    // Enter (13) saves, as the button does, and is consumed (set to 0).
    void FileName_KeyPress(int16_t& KeyAscii);
    void WriteDir_Change();
    void WriteDrive_Change();
    void WriteList_Click();
    void WriteDataFile();

    int16_t FileNumber = 0;
    int16_t WriteFailed = 0;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QRadioButton* DecimalOpt = nullptr;
    QRadioButton* HexOpt = nullptr;
    QLineEdit* FileName = nullptr;
    FileListBox* WriteList = nullptr;
    DirListBox* WriteDir = nullptr;
    QComboBox* WriteDrive = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WriteFileForm();
    void BuildLayout();
    void FillDrives();
    void ShowDriveOf(const QString& path);  // selects the drive quietly

    bool loaded_ = false;
};
