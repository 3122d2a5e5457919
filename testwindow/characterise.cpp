// "Characterise...": the Characterise window.
#include "testform.h"

#include "characterise/window/characterisewindow.h"

void TestForm::Characterise_Click() { CharacteriseWindow::Open(); }
