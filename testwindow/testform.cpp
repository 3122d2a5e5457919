#include "testform.h"
#include "board/identity.h"
#include "board/state.h"
#include "runtime/msgbox.h"

#include "runtime/guard.h"
#include "controls/numberlabel.h"
#include "runtime/programend.h"
#include "controls/ui.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {
TestForm* instance = nullptr;
}

TestForm& TestForm::Open()
{
    return OpenKept(instance, [] { return new TestForm; });
}

bool TestForm::Exists() { return instance != nullptr; }

TestForm::TestForm()
{
    setObjectName("TestForm");
    setWindowTitle("QV4816X Test");
    setFont(ToolFont(8.25));

    Command1 = MakeControl<QPushButton>(this, "Command1", "Start Sweep");
    Command1->setText("Start Sweep");
    Command2 = MakeControl<QPushButton>(this, "Command2", "Stop Sweep");
    Command2->setText("Stop Sweep");
    Command3 = MakeControl<QPushButton>(this, "Command3", "Test");
    Command3->setText("Test");
    Command3->setFont(ToolFont(12, true));
    Command3->setMinimumHeight(40);

    // Label1 is named by its text (the step); Label2 by its role and verdict.
    Label1 = MakeControl<NumberLabel>(this, "Label1", QString());
    Label1->setAccessibleDescription("Code of the sweep step in progress");
    Label1->setText("Label1");
    Label1->setAlignment(Qt::AlignCenter);
    // A fixed size: the count changing at every step relays nothing out.
    Label1->setFixedSize(Label1->fontMetrics().horizontalAdvance("000000") + 8, Label1->sizeHint().height());
    // Opaque, so that the repaint at every sweep step paints the label alone.
    Label1->setAutoFillBackground(true);
    Label2 = MakeControl<QLabel>(this, "Label2", "Self-test result");
    Label2->setText("FAIL");
    Label2->setFont(ToolFont(24, true));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setMinimumSize(140, 50);
    QPalette red = Label2->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    Label2->setPalette(red);

    // Below the specified controls, across the window.
    AnalyseSweep = MakeControl<QPushButton>(this, "AnalyseSweep", "Analyse Sweep");
    AnalyseSweep->setText("Analyse Sweep");
    AnalyseSweep->setAccessibleDescription("Plots and figures of the last sweep");
    AnalyseSweep->setEnabled(false);
    Characterise = MakeControl<QPushButton>(this, "Characterise", "Characterise");
    Characterise->setText("Characterise...");
    Characterise->setAccessibleDescription("INL and DNL with a bench meter on one output");

    auto* grid = new QGridLayout(this);
    grid->addWidget(Command1, 0, 0);
    grid->addWidget(Command2, 1, 0);
    grid->addWidget(Label1, 2, 0);
    grid->addWidget(Command3, 0, 1);
    grid->addWidget(Label2, 1, 1, 2, 1);
    grid->setRowMinimumHeight(3, 8);
    grid->addWidget(AnalyseSweep, 4, 0);
    grid->addWidget(Characterise, 4, 1);

    connect(Command1, &QPushButton::clicked, this, QV_SLOT(Command1_Click));
    connect(Command2, &QPushButton::clicked, this, QV_SLOT(Command2_Click));
    connect(Command3, &QPushButton::clicked, this, QV_SLOT(Command3_Click));
    connect(AnalyseSweep, &QPushButton::clicked, this, QV_SLOT(AnalyseSweep_Click));
    connect(Characterise, &QPushButton::clicked, this, QV_SLOT(Characterise_Click));
    // The window is kept for the life of the program.
    owner::Watch([this] { FollowOwner(); });
    FollowOwner();
    // A client's sweep may have ended before the window was first opened.
    AnalyseSweep->setEnabled(State.SampleCount > 0 && owner::Current() != owner::Activity::Sweep);
}

void TestForm::Form_Load()
{
    setWindowTitle("QV4816X Test" + QString::fromStdString(SimulatedBoardMark()));
    StopRequested = 0;
    loaded_ = true;  // for good: closing this window ends the program
    Label2->setText("");
    Label2->setAccessibleName("Self-test result");
}

void TestForm::Form_Unload() { EndProgram(); }

void TestForm::closeEvent(QCloseEvent* event)
{
    event->accept();
    Guarded([this] { Form_Unload(); });
}

TestForm::Busy::Busy(TestForm& form, owner::Activity activity) : form_(form)
{
    const std::string why = owner::Take(activity, owner::Side::Local);
    held_ = why.empty();
    if (!held_) {
        MsgBox("The board is busy: " + why, MsgButtons::Ok, MsgIcon::Exclamation, ProgramTitle());
        return;
    }
    form_.busy_ = true;
    form_.Command1->setEnabled(false);
    form_.Command3->setEnabled(false);
}

TestForm::Busy::~Busy()
{
    if (!held_)
        return;
    form_.busy_ = false;
    owner::Release();
    form_.Command1->setEnabled(true);
    form_.Command3->setEnabled(true);
}

void TestForm::FollowOwner()
{
    // A client's sweep or self-test, or any characterisation run, leaves no room for another.
    const bool remote = owner::HeldBy(owner::Side::Remote) || owner::Current() == owner::Activity::Characterisation;
    if (!busy_) {
        Command1->setEnabled(!remote);
        Command3->setEnabled(!remote);
    }
    const bool remoteSweep = remote && owner::Current() == owner::Activity::Sweep;
    if (remoteSweep)
        AnalyseSweep->setEnabled(false);  // the arrays are being refilled
    else if (remoteSweep_)
        AnalyseSweep->setEnabled(State.SampleCount > 0);
    remoteSweep_ = remoteSweep;
}
