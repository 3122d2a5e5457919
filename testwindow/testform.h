#pragma once
// The test window: the sweep of all four outputs through every code, and the
// pass/fail self-test. Opened from the panel's logo; closing it ends the program.
#include "board/owner.h"

#include <QWidget>
#include <cstdint>
#include <string>

class QLabel;
class QPushButton;

class TestForm : public QWidget {
    Q_OBJECT
public:
    // Created and loaded on first use, then kept; every call shows and raises it.
    static TestForm& Open();
    static bool Exists();
    bool Loaded() const { return loaded_; }

    void Form_Load();
    void Form_Unload();     // ends the program
    void Command1_Click();  // "Start Sweep"
    void Command2_Click();  // "Stop Sweep"
    void Command3_Click();  // "Test"

    // "Analyse Sweep": the analysis window on the last sweep, under the
    // conditions recorded when it started (board/sweeprecord.h). Enabled once
    // a sweep has run, however it ended.
    void AnalyseSweep_Click();
    // "Characterise...": the characterisation run with a bench meter.
    void Characterise_Click();

    int16_t StopRequested = 0;

    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Label1 = nullptr;  // the sweep step in progress
    QLabel* Label2 = nullptr;  // the self-test verdict
    QPushButton* AnalyseSweep = nullptr;
    QPushButton* Characterise = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // "Start Sweep" and "Test" stay disabled while a sweep or a self-test runs,
    // however it ends: neither runs inside the other or inside itself. It holds
    // the board (board/owner.h) meanwhile; when someone else holds it, Held()
    // is false and a message says why.
    class Busy {
    public:
        Busy(TestForm& form, owner::Activity activity);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;
        bool Held() const { return held_; }

    private:
        TestForm& form_;
        bool held_ = false;
    };

    // "Start Sweep" and "Test" are disabled while a client's sweep or
    // self-test runs; "Analyse Sweep" opens once a client's sweep has ended.
    void FollowOwner();
    bool busy_ = false;
    bool remoteSweep_ = false;

    TestForm();
    void RecordSweepStart();
    void ShowVerdict(bool failed);

    bool loaded_ = false;
};
