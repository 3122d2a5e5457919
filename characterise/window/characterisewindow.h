#pragma once
// The Characterise window: a characterisation run with a bench meter (or the
// board's ADC) on one output. The meter and its set-up, the plan, the results
// file; Connect identifies the meter and times one reading, so that the
// window tells how long the plan will take before it starts; then progress
// with the time left, Pause/Resume and Stop, and the results in the analysis
// window. Opened from the test window ("Characterise...").
#include "characterise/plan.h"

#include <QWidget>

class AnalysisWindow;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

class CharacteriseWindow : public QWidget {
    Q_OBJECT
public:
    // Created on first use and kept; every call shows and raises it.
    static CharacteriseWindow& Open();
    bool Loaded() const { return loaded_; }
    void Form_Load();

    // The plan as the controls make it (the list read from its file);
    // nothing, with `why`, when a control holds something it cannot take.
    std::optional<characterise::Plan> PlanFromControls(std::string& why) const;

    void Connect_Click();
    void Start_Click();
    void Pause_Click();  // "Pause", or "Resume" while paused
    void Stop_Click();
    void Analyse_Click();
    void BrowseList_Click();
    void BrowseResults_Click();
    // The analysis window "Analyse Results" opened (nullptr before).
    static AnalysisWindow* ResultsWindow();

    // The controls, for the tests and for assistive technology.
    QLineEdit* Meter = nullptr;
    QDoubleSpinBox* Nplc = nullptr;
    QComboBox* AutoZero = nullptr;
    QComboBox* SetupStyle = nullptr;
    QDoubleSpinBox* Digits = nullptr;
    QDoubleSpinBox* Timeout = nullptr;
    QPushButton* ConnectButton = nullptr;
    QLabel* Identity = nullptr;
    QComboBox* Channel = nullptr;
    QComboBox* Codes = nullptr;
    QSpinBox* CarryBits = nullptr;
    QSpinBox* Every = nullptr;
    QSpinBox* RandomCodes = nullptr;
    QSpinBox* Seed = nullptr;
    QLineEdit* ListFile = nullptr;
    QPushButton* BrowseList = nullptr;
    QSpinBox* Settle = nullptr;
    QSpinBox* Readings = nullptr;
    QLineEdit* ResultsFile = nullptr;
    QPushButton* BrowseResults = nullptr;
    QLabel* Estimate = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* PauseButton = nullptr;
    QPushButton* StopButton = nullptr;
    QPushButton* AnalyseButton = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* TimeLeft = nullptr;
    QLabel* Message = nullptr;

private:
    CharacteriseWindow();
    QWidget* MakeMeterGroup();
    QWidget* MakePlanGroup();
    QWidget* MakeRunGroup();
    void ShowEstimate();
    void ShowProgress();
    void ShowEnd();
    void SetMessage(const QString& text, bool error);
    void FollowState();  // what may be pressed or changed now

    bool loaded_ = false;
    QTimer* refresh_ = nullptr;  // progress shown at most ten times a second
};
