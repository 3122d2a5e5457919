// Program start, the load handler, exit, and the doors to the other windows.
#include "codefield.h"
#include "mainform.h"
#include "pickbox.h"
#include "analysis/ranges.h"
#include "panel/codetext.h"
#include "runtime/guard.h"
#include "runtime/programend.h"
#include "about/frmabout.h"
#include "controls/widgetmsgbox.h"
#include "testwindow/testform.h"

#include "board/ops.h"
#include "board/boardlink.h"
#include "board/identity.h"

#include <QCheckBox>
#include <QComboBox>
#include <cmath>

namespace {

void stopIfEnded()
{
    if (ProgramHasEnded())
        throw ProgramEnded{};
}
}  // namespace

bool ProgramStart()
{
    UseWidgetMessageBoxes();
    SetStartValues();
    MainForm& form = MainForm::Instance();
    // Showing the window runs its load handler first, before anything is drawn.
    if (!Guarded([&form] { form.Form_Load(); }))
        return false;
    // The simulated board is never taken for a real one.
    form.setWindowTitle(form.windowTitle() + QString::fromStdString(SimulatedBoardMark()));
    AnnounceSimulatedBoard(CurrentEdition().title);
    form.show();
    return true;
}

void MainForm::Form_Load()
{
    Board().ConnectStep();
    WritePinControl();

    ComboCoding->clear();
    ComboCoding->addItem("Hexadecimal Coding");
    ComboCoding->addItem("Decimal Coding");
    ComboCoding->setEditText("Hexadecimal Coding");

    for (QComboBox* box : {ComboRangeA, ComboRangeB, ComboRangeC, ComboRangeD}) {
        box->clear();
        for (const auto& range : analysis::Ranges())
            box->addItem(QString::fromUtf8(range.name.data(), static_cast<qsizetype>(range.name.size())));
        box->setEditText("+5V");
    }

    Check1->setCheckState(Qt::Checked);  // runs Check1_Click
    stopIfEnded();

    // Presets from the resolution, in floating point, to the nearest integer.
    const double full = std::pow(2.0, State.ResolutionBits);
    const int32_t presets[4] = {static_cast<int32_t>(std::nearbyint(full - 1)),
                                static_cast<int32_t>(std::nearbyint(0.75 * full)),
                                static_cast<int32_t>(std::nearbyint(0.5 * full)), 0};
    const auto fields = CodeFields();
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->setText(QString::fromStdString(HexDigits(presets[i % 4])));

    Command1_Click();

    ops::SendAdcSetup();
}

void MainForm::MnuExit_Click() { EndProgram(); }

void MainForm::MnuAbout_Click() { frmAbout::Open(); }

void MainForm::Label16_DblClick()
{
    TestForm::Open();
}
