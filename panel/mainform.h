#pragma once
// The register panel. Controls keep their numbered names (also as Qt object
// names); the handlers, one source file per group, keep the names of the
// control and event they answer.
#include "board/primitives.h"

#include <QMainWindow>
#include <array>
#include <cstdint>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class CodeField;
class LED;
class NumLED;
class PickBox;
class Toggle;

class MainForm : public QMainWindow, public PulseLdacSetting, public FrameBitsView {
    Q_OBJECT
public:
    // The one main window of the run; created on first use and kept until the
    // program ends, since the device primitives read and write it.
    static MainForm& Instance();
    static bool Exists();

    // PulseLdacSetting / FrameBitsView
    bool PulseLdacTicked() const override;
    void SetFrameBit(int i, int bit) override;

    // ---- start-up, exit, other windows (programstart.cpp)
    void Form_Load();
    void MnuExit_Click();
    void MnuAbout_Click();
    void Label16_DblClick();

    // ---- code entry (codeentry.cpp)
    void WriteCodeField(CodeField* field, int16_t address);
    void Text1_Click();
    void Text2_Click();
    void Text10_Click();
    void Text11_Click();
    void Text12_Click();
    void Text13_Click();
    void Text14_Click();
    void Text15_Click();
    void Text16_Click();
    void Text17_Click();
    void Text18_Click();
    void Text19_Click();
    void Text20_Click();
    void Text21_Click();
    void Text22_Click();
    void Text23_Click();
    // The KeyPress of every code field: Enter (13) runs that field's Click;
    // every other key is left to the field.
    void Text_KeyPress(int16_t& keyAscii, void (MainForm::*click)());

    // ---- number coding (coding.cpp)
    void ComboCoding_Click();
    void ConvertFieldsToHex();
    void ConvertFieldsToDecimal();

    // ---- resolution (resolution.cpp)
    void Mnu16_Click();
    void Mnu14_Click();
    void Mnu12_Click();

    // ---- DAC read-back and read-all (readback.cpp)
    void ReadDacCode(int16_t address, QLabel* label);
    void Command7_Click();
    void Command8_Click();
    void Command9_Click();
    void Command10_Click();
    void Command1_Click();

    // ---- output ranges (ranges.cpp)
    void ComboRangeA_Click();
    void ComboRangeB_Click();
    void ComboRangeC_Click();
    void ComboRangeD_Click();
    void Command5_Click();
    void Command13_Click();
    void Command12_Click();
    void Command11_Click();

    // ---- control register (controlreg.cpp)
    void Toggle1_Event9();
    void Toggle2_Event9();
    void Toggle3_Event9();
    void Toggle4_Event9();
    void Command3_Click();  // LOAD
    void Command4_Click();  // CLEAR
    void Command2_Click();  // Read

    // ---- power control register (powerreg.cpp)
    void Toggle5_Event9();
    void Toggle6_Event9();
    void Toggle7_Event9();
    void Toggle8_Event9();
    void Toggle9_Event9();
    void Command6_Click();

    // ---- hardware control pins (pins.cpp)
    void Toggle10_Event9();
    void Toggle11_Event9();
    void Toggle12_Event9();
    void Check1_Click();

    // ---- output voltage measurement (measure.cpp)
    void Command14_Click();

    // ---- controls
    QMenu* MnuFile = nullptr;
    QAction* MnuAbout = nullptr;
    QAction* MnuExit = nullptr;
    QMenu* MnuRes = nullptr;
    QAction* Mnu16 = nullptr;
    QAction* Mnu14 = nullptr;
    QAction* Mnu12 = nullptr;

    QPushButton* Command1 = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Image1 = nullptr;

    QGroupBox* Frame7 = nullptr;
    QPushButton* Command14 = nullptr;
    NumLED* NumLED1 = nullptr;
    NumLED* NumLED2 = nullptr;
    NumLED* NumLED3 = nullptr;
    NumLED* NumLED4 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;

    QGroupBox* Frame6 = nullptr;
    QCheckBox* Check1 = nullptr;
    Toggle* Toggle10 = nullptr;
    Toggle* Toggle11 = nullptr;
    Toggle* Toggle12 = nullptr;

    QGroupBox* Frame5 = nullptr;
    QPushButton* Command6 = nullptr;
    Toggle* Toggle5 = nullptr;
    Toggle* Toggle6 = nullptr;
    Toggle* Toggle7 = nullptr;
    Toggle* Toggle8 = nullptr;
    Toggle* Toggle9 = nullptr;
    LED* LED1 = nullptr;
    LED* LED2 = nullptr;
    LED* LED3 = nullptr;
    LED* LED4 = nullptr;
    LED* LED5 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label7 = nullptr;

    QGroupBox* Frame4 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    Toggle* Toggle1 = nullptr;
    Toggle* Toggle2 = nullptr;
    Toggle* Toggle3 = nullptr;
    Toggle* Toggle4 = nullptr;

    QGroupBox* Frame2 = nullptr;
    PickBox* ComboCoding = nullptr;
    QGroupBox* Frame8 = nullptr;
    QGroupBox* Frame9 = nullptr;
    QGroupBox* Frame10 = nullptr;
    QGroupBox* Frame11 = nullptr;
    CodeField* Text1 = nullptr;
    CodeField* Text2 = nullptr;
    CodeField* Text10 = nullptr;
    CodeField* Text11 = nullptr;
    CodeField* Text12 = nullptr;
    CodeField* Text13 = nullptr;
    CodeField* Text14 = nullptr;
    CodeField* Text15 = nullptr;
    CodeField* Text16 = nullptr;
    CodeField* Text17 = nullptr;
    CodeField* Text18 = nullptr;
    CodeField* Text19 = nullptr;
    CodeField* Text20 = nullptr;
    CodeField* Text21 = nullptr;
    CodeField* Text22 = nullptr;
    CodeField* Text23 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command9 = nullptr;
    QPushButton* Command10 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    PickBox* ComboRangeA = nullptr;
    PickBox* ComboRangeB = nullptr;
    PickBox* ComboRangeC = nullptr;
    PickBox* ComboRangeD = nullptr;
    QPushButton* Command5 = nullptr;
    QPushButton* Command13 = nullptr;
    QPushButton* Command12 = nullptr;
    QPushButton* Command11 = nullptr;

    QGroupBox* Frame1 = nullptr;
    std::array<NumLED*, 24> BitsDisplay{};
    std::array<QLabel*, 10> Label1{};  // elements 5, 7, 8 and 9 are used
    QFrame* Shape1 = nullptr;

    // The sixteen code fields in the order DAC A..D, top to bottom in each frame.
    std::array<CodeField*, 16> CodeFields() const;
    // The four read-back labels, DAC A..D.
    std::array<QLabel*, 4> ReadBackLabels() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainForm();
    void BuildMenus();
    void BuildHeader();
    void BuildProgramFrame();
    void BuildInputRegisterFrame();
    void BuildControlFrame();
    void BuildPowerFrame();
    void BuildHardwareFrame();
    void BuildAdcFrame();
    void WireEvents();

    // Shared bodies of the handler groups.
    void SelectRange(QComboBox* box, int16_t address);
    void ReadRange(QComboBox* box, int16_t address);
    void ControlSwitch(Toggle* toggle, int bit);
    void PowerSwitch(Toggle* toggle, int bit);
    void PinSwitch(Toggle* toggle, int16_t& pin);
};

// The program's entry procedure: start values, the main window and its load
// handler. Returns false when the program ended during start-up.
bool ProgramStart();
