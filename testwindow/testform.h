#pragma once
// The test window: the sweep of all four outputs through every code, and the
// pass/fail self-test. Opened from the panel's logo; closing it ends the program.
#include <QWidget>
#include <cstdint>

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

    int16_t StopRequested = 0;

    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Label1 = nullptr;  // the sweep step in progress
    QLabel* Label2 = nullptr;  // the self-test verdict
    QPushButton* AnalyseSweep = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // "Start Sweep" and "Test" stay disabled while a sweep or a self-test runs,
    // however it ends: neither runs inside the other or inside itself.
    class Busy {
    public:
        explicit Busy(TestForm& form);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        TestForm& form_;
    };

    TestForm();
    void RecordSweepStart();
    void ShowVerdict(bool failed);

    bool loaded_ = false;
};
