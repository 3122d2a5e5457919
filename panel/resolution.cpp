// Resolution selection: only how later entries, read-backs and coding switches
// treat codes changes; nothing is rewritten or sent now.
#include "mainform.h"
#include "board/owner.h"

#include <QAction>

namespace {
void Check(MainForm& form, QAction* picked)
{
    for (QAction* item : {form.Mnu16, form.Mnu14, form.Mnu12})
        item->setChecked(item == picked);
    owner::NotePanelChange();  // a client may ask whether a setting changed here
}
}  // namespace

void MainForm::Mnu16_Click()
{
    State.ResolutionBits = 16;
    Check(*this, Mnu16);
}

void MainForm::Mnu14_Click()
{
    State.ResolutionBits = 14;
    Check(*this, Mnu14);
}

void MainForm::Mnu12_Click()
{
    State.ResolutionBits = 12;
    Check(*this, Mnu12);
}
