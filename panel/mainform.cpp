#include "mainform.h"

#include "codefield.h"
#include "pickbox.h"
#include "runtime/guard.h"
#include "controls/led.h"
#include "controls/numled.h"
#include "controls/toggle.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {
MainForm* instance = nullptr;
}

MainForm& MainForm::Instance()
{
    if (instance == nullptr)
        instance = new MainForm;  // lives until the process ends
    return *instance;
}

bool MainForm::Exists() { return instance != nullptr; }

MainForm::MainForm()
{
    setObjectName("MainForm");
    setWindowTitle("QV4816X - Complete, Quad, 16-Bit, Serial Input, Unipolar/Bipolar Voltage Output DAC");
    BuildMenus();
    auto* central = new QWidget(this);
    central->setObjectName("MainFormClient");
    setCentralWidget(central);
    BuildHeader();
    BuildProgramFrame();
    BuildInputRegisterFrame();
    BuildControlFrame();
    BuildPowerFrame();
    BuildHardwareFrame();
    BuildAdcFrame();
    WireEvents();
    AttachPanel(this, this);
}

bool MainForm::PulseLdacTicked() const { return Check1->checkState() != Qt::Unchecked; }

void MainForm::SetFrameBit(int i, int bit)
{
    if (i >= 0 && i < static_cast<int>(BitsDisplay.size()))
        BitsDisplay[static_cast<size_t>(i)]->setValue(bit ? QStringLiteral("1") : QStringLiteral("0"));
}

std::array<CodeField*, 16> MainForm::CodeFields() const
{
    return {Text11, Text10, Text13, Text12, Text14, Text15, Text1,  Text2,
            Text18, Text19, Text16, Text17, Text22, Text23, Text20, Text21};
}

std::array<QLabel*, 4> MainForm::ReadBackLabels() const { return {Label8, Label9, Label10, Label11}; }

void MainForm::closeEvent(QCloseEvent* event)
{
    // Closing the panel unloads it; the object stays for the primitives, and the
    // program goes on while another window is open.
    QMainWindow::closeEvent(event);
}

bool MainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label16) {
        const bool dbl = event->type() == QEvent::MouseButtonDblClick;
        bool key = false;
        if (event->type() == QEvent::KeyPress) {
            const int k = static_cast<QKeyEvent*>(event)->key();
            key = k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Space;
        }
        if (dbl || key) {
            Guarded([this] { Label16_DblClick(); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::WireEvents()
{
    auto click = [this](QPushButton* b, void (MainForm::*h)()) {
        connect(b, &QPushButton::clicked, this, [this, h] { Guarded([this, h] { (this->*h)(); }); });
    };
    auto action = [this](QAction* a, void (MainForm::*h)()) {
        connect(a, &QAction::triggered, this, [this, h] { Guarded([this, h] { (this->*h)(); }); });
    };
    auto flip = [this](Toggle* t, void (MainForm::*h)()) {
        connect(t, &Toggle::Event9, this, [this, h] { Guarded([this, h] { (this->*h)(); }); });
    };
    auto pick = [this](PickBox* c, void (MainForm::*h)()) {
        connect(c, &PickBox::Click, this, [this, h] { Guarded([this, h] { (this->*h)(); }); });
    };
    auto field = [this](CodeField* f, void (MainForm::*h)()) {
        connect(f, &CodeField::Click, this, [this, h] { Guarded([this, h] { (this->*h)(); }); });
        connect(f, &CodeField::KeyPress, this,
                [this, h](int16_t& key) { Guarded([this, h, &key] { Text_KeyPress(key, h); }); });
    };

    action(MnuAbout, &MainForm::MnuAbout_Click);
    action(MnuExit, &MainForm::MnuExit_Click);
    action(Mnu16, &MainForm::Mnu16_Click);
    action(Mnu14, &MainForm::Mnu14_Click);
    action(Mnu12, &MainForm::Mnu12_Click);

    field(Text1, &MainForm::Text1_Click);
    field(Text2, &MainForm::Text2_Click);
    field(Text10, &MainForm::Text10_Click);
    field(Text11, &MainForm::Text11_Click);
    field(Text12, &MainForm::Text12_Click);
    field(Text13, &MainForm::Text13_Click);
    field(Text14, &MainForm::Text14_Click);
    field(Text15, &MainForm::Text15_Click);
    field(Text16, &MainForm::Text16_Click);
    field(Text17, &MainForm::Text17_Click);
    field(Text18, &MainForm::Text18_Click);
    field(Text19, &MainForm::Text19_Click);
    field(Text20, &MainForm::Text20_Click);
    field(Text21, &MainForm::Text21_Click);
    field(Text22, &MainForm::Text22_Click);
    field(Text23, &MainForm::Text23_Click);

    pick(ComboCoding, &MainForm::ComboCoding_Click);
    pick(ComboRangeA, &MainForm::ComboRangeA_Click);
    pick(ComboRangeB, &MainForm::ComboRangeB_Click);
    pick(ComboRangeC, &MainForm::ComboRangeC_Click);
    pick(ComboRangeD, &MainForm::ComboRangeD_Click);

    click(Command1, &MainForm::Command1_Click);
    click(Command2, &MainForm::Command2_Click);
    click(Command3, &MainForm::Command3_Click);
    click(Command4, &MainForm::Command4_Click);
    click(Command5, &MainForm::Command5_Click);
    click(Command6, &MainForm::Command6_Click);
    click(Command7, &MainForm::Command7_Click);
    click(Command8, &MainForm::Command8_Click);
    click(Command9, &MainForm::Command9_Click);
    click(Command10, &MainForm::Command10_Click);
    click(Command11, &MainForm::Command11_Click);
    click(Command12, &MainForm::Command12_Click);
    click(Command13, &MainForm::Command13_Click);
    click(Command14, &MainForm::Command14_Click);

    flip(Toggle1, &MainForm::Toggle1_Event9);
    flip(Toggle2, &MainForm::Toggle2_Event9);
    flip(Toggle3, &MainForm::Toggle3_Event9);
    flip(Toggle4, &MainForm::Toggle4_Event9);
    flip(Toggle5, &MainForm::Toggle5_Event9);
    flip(Toggle6, &MainForm::Toggle6_Event9);
    flip(Toggle7, &MainForm::Toggle7_Event9);
    flip(Toggle8, &MainForm::Toggle8_Event9);
    flip(Toggle9, &MainForm::Toggle9_Event9);
    flip(Toggle10, &MainForm::Toggle10_Event9);
    flip(Toggle11, &MainForm::Toggle11_Event9);
    flip(Toggle12, &MainForm::Toggle12_Event9);

    // The check box's click is raised whenever its value changes, by the user
    // or by the program.
    connect(Check1, &QCheckBox::stateChanged, this, [this] { Guarded([this] { Check1_Click(); }); });

    Label16->installEventFilter(this);
}
