#pragma once
// The About box: title, version, and a way to the system information tool.
#include "sysinfo.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class frmAbout : public QDialog {
    Q_OBJECT
public:
    // Created on first use and kept; loaded again after a close; shown, not
    // modal, and raised.
    static frmAbout& Open();
    static bool Exists();
    bool Loaded() const { return loaded_; }

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    QLabel* picIcon = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QLabel* Label1 = nullptr;
    QFrame* Line1[2] = {nullptr, nullptr};
    QLabel* lblDescription = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;

    void done(int result) override;  // every way of closing unloads the box

private:
    frmAbout();

    bool loaded_ = false;
};
