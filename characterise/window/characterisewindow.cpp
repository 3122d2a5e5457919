// The Characterise window's controls and their layout.
#include "characterisewindow.h"

#include "characterise/session.h"
#include "controls/ui.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {
CharacteriseWindow* instance = nullptr;

template <class Box>
Box* Spin(QWidget* parent, const char* name, const QString& accessible, double low, double high, double value)
{
    auto* box = MakeControl<Box>(parent, name, accessible);
    box->setRange(static_cast<decltype(box->value())>(low), static_cast<decltype(box->value())>(high));
    box->setValue(static_cast<decltype(box->value())>(value));
    return box;
}

QComboBox* Choice(QWidget* parent, const char* name, const QString& accessible, const QStringList& items)
{
    auto* box = MakeControl<QComboBox>(parent, name, accessible);
    box->addItems(items);
    return box;
}

// A label whose text assistive technology reads with its name.
QLabel* ValueLabel(QWidget* parent, const char* name, const QString& accessible)
{
    auto* label = MakeControl<QLabel>(parent, name, accessible);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, const QString& description)
{
    auto* button = MakeControl<QPushButton>(parent, name, QString());
    button->setText(text);
    button->setAccessibleDescription(description);
    return button;
}

QHBoxLayout* Row(QWidget* a, QWidget* b)
{
    auto* row = new QHBoxLayout;
    row->addWidget(a, 1);
    row->addWidget(b);
    return row;
}
}  // namespace

CharacteriseWindow& CharacteriseWindow::Open()
{
    return OpenKept(instance, [] { return new CharacteriseWindow; });
}

CharacteriseWindow::CharacteriseWindow()
{
    setObjectName("CharacteriseWindow");
    setWindowTitle("QV4816X Characterise");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeMeterGroup());
    layout->addWidget(MakePlanGroup());
    layout->addWidget(MakeRunGroup());

    refresh_ = new QTimer(this);
    refresh_->setInterval(100);
    refresh_->setSingleShot(true);
    connect(refresh_, &QTimer::timeout, this, [this] { Guarded([this] { ShowProgress(); }); });
    auto& session = characterise::Session::Instance();
    connect(&session, &characterise::Session::Changed, this, [this] {
        if (!refresh_->isActive())
            refresh_->start();
    });
    connect(&session, &characterise::Session::Ended, this, [this] { Guarded([this] { ShowEnd(); }); });
    connect(ConnectButton, &QPushButton::clicked, this, QV_SLOT(Connect_Click));
    connect(StartButton, &QPushButton::clicked, this, QV_SLOT(Start_Click));
    connect(PauseButton, &QPushButton::clicked, this, QV_SLOT(Pause_Click));
    connect(StopButton, &QPushButton::clicked, this, QV_SLOT(Stop_Click));
    connect(AnalyseButton, &QPushButton::clicked, this, QV_SLOT(Analyse_Click));
    connect(BrowseList, &QPushButton::clicked, this, QV_SLOT(BrowseList_Click));
    connect(BrowseResults, &QPushButton::clicked, this, QV_SLOT(BrowseResults_Click));
    connect(Codes, &QComboBox::currentIndexChanged, this, [this] { FollowState(); });
    FollowState();
}

void CharacteriseWindow::Form_Load()
{
    loaded_ = true;
    const QString name = "characterisation-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss") + ".txt";
    if (ResultsFile->text().isEmpty())
        ResultsFile->setText(QDir::current().filePath(name));
    ShowProgress();
}

QWidget* CharacteriseWindow::MakeMeterGroup()
{
    auto* group = new QGroupBox("Meter", this);
    Meter = MakeControl<QLineEdit>(group, "Meter", "Meter address");
    Meter->setText("adc");
    Meter->setAccessibleDescription("adc for the board's own ADC, tcp://HOST[:PORT] for a meter on the network "
                                    "(port 5025 unless given), usbtmc:///dev/usbtmcN for one on USB");
    Meter->setToolTip(Meter->accessibleDescription());
    Nplc = Spin<QDoubleSpinBox>(group, "Nplc", "Integration time in power-line cycles", 0.001, 100, 1);
    Nplc->setDecimals(3);
    AutoZero = Choice(group, "AutoZero", "Auto-zero", {"ON", "OFF", "ONCE"});
    SetupStyle = Choice(group, "SetupStyle", "Set-up commands", {"CONF:VOLT:DC", "FUNC \"VOLT:DC\""});
    Digits = Spin<QDoubleSpinBox>(group, "Digits", "Meter digits", 3, 9, 6.5);
    Digits->setSingleStep(0.5);
    Digits->setDecimals(1);
    Timeout = Spin<QDoubleSpinBox>(group, "Timeout", "Answer timeout in seconds", 0.1, 600, 5);
    ConnectButton = Button(group, "ConnectButton", "Connect",
                           "Identifies the meter, sets it up and times one reading");
    Identity = ValueLabel(group, "Identity", "Meter identity");
    auto* form = new QFormLayout(group);
    form->addRow("Meter:", Row(Meter, ConnectButton));
    form->addRow("Integration (PLC):", Nplc);
    form->addRow("Auto-zero:", AutoZero);
    form->addRow("Set-up:", SetupStyle);
    form->addRow("Digits:", Digits);
    form->addRow("Timeout (s):", Timeout);
    form->addRow("Identity:", Identity);
    return group;
}

QWidget* CharacteriseWindow::MakePlanGroup()
{
    auto* group = new QGroupBox("Plan", this);
    Channel = Choice(group, "Channel", "Channel the meter is wired to", {"A", "B", "C", "D"});
    Codes = Choice(group, "Codes", "Codes to measure",
                   {"Major carries", "Every Nth code", "All codes", "List from a file"});
    CarryBits = Spin<QSpinBox>(group, "CarryBits", "Carries into the top bits", 1, 16, 6);
    Every = Spin<QSpinBox>(group, "Every", "Every Nth code: N", 1, 65536, 16);
    RandomCodes = Spin<QSpinBox>(group, "RandomCodes", "Random codes added", 0, 65536, 0);
    Seed = Spin<QSpinBox>(group, "Seed", "Seed of the random codes", 0, 2147483647, 1);
    ListFile = MakeControl<QLineEdit>(group, "ListFile", "List of codes file");
    ListFile->setAccessibleDescription("One code per line, decimal or 0x hexadecimal; # starts a comment");
    BrowseList = Button(group, "BrowseList", "Browse...", "Chooses the list of codes");
    Settle = Spin<QSpinBox>(group, "Settle", "Settling time in milliseconds", 0, characterise::kMaxSettleMs, 10);
    Readings = Spin<QSpinBox>(group, "Readings", "Readings per code", 1, characterise::kMaxReadings, 1);
    ResultsFile = MakeControl<QLineEdit>(group, "ResultsFile", "Results file");
    ResultsFile->setAccessibleDescription("Each code is written here as soon as it is measured");
    BrowseResults = Button(group, "BrowseResults", "Browse...", "Chooses the results file");
    auto* form = new QFormLayout(group);
    form->addRow("Channel:", Channel);
    form->addRow("Codes:", Codes);
    form->addRow("Carry bits:", CarryBits);
    form->addRow("Every N:", Every);
    form->addRow("Random codes:", RandomCodes);
    form->addRow("Seed:", Seed);
    form->addRow("List file:", Row(ListFile, BrowseList));
    form->addRow("Settling (ms):", Settle);
    form->addRow("Readings per code:", Readings);
    form->addRow("Results file:", Row(ResultsFile, BrowseResults));
    return group;
}

QWidget* CharacteriseWindow::MakeRunGroup()
{
    auto* group = new QGroupBox("Run", this);
    Estimate = ValueLabel(group, "Estimate", "Estimated duration");
    StartButton = Button(group, "StartButton", "Start", "Starts the plan; the results file is written as it runs");
    PauseButton = Button(group, "PauseButton", "Pause", "Pauses after the code being measured, or resumes");
    StopButton = Button(group, "StopButton", "Stop", "Stops the run; every code measured stays in the file");
    AnalyseButton = Button(group, "AnalyseButton", "Analyse Results", "The results file in the analysis window");
    Progress = MakeControl<QProgressBar>(group, "Progress", "Codes measured");
    Progress->setRange(0, 1);
    Progress->setValue(0);
    TimeLeft = ValueLabel(group, "TimeLeft", "Progress");
    Message = ValueLabel(group, "Message", "Message");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {StartButton, PauseButton, StopButton, AnalyseButton})
        buttons->addWidget(b);
    auto* box = new QVBoxLayout(group);
    box->addWidget(Estimate);
    box->addLayout(buttons);
    box->addWidget(Progress);
    box->addWidget(TimeLeft);
    box->addWidget(Message);
    return group;
}
