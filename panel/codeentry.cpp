// DAC code entry: a click into a code field, or Enter in it, writes its code.
#include "codefield.h"
#include "codetext.h"
#include "mainform.h"
#include "runtime/runtimeerror.h"

namespace {
// The field's text as a code in the current coding; a text that cannot be read
// raises the run-time error that sends WriteCodeField down its error path.
int32_t ReadFieldCode(CodeField* field)
{
    if (State.Coding == "Hex") {
        if (field->text().isEmpty())
            field->setText("0");
        const auto value = HexToLong(field->text().toStdString());
        if (!value)
            throw RunTimeError::TypeMismatch();
        return *value;
    }
    const auto value = RoundToLong(Val(field->text().toStdString()));
    if (!value)
        throw RunTimeError::Overflow();
    return *value;
}
}  // namespace

void MainForm::WriteCodeField(CodeField* field, int16_t address)
{
    try {
        State.ReadFlag = 0;
        State.ChannelAddress = address;
        State.RegisterSelect = 0;

        State.DataWord = ReadFieldCode(field);
        State.DataWord = ops::ClampCode(State.DataWord, State.ResolutionBits);
        field->setText(QString::fromStdString(State.Coding == "Hex" ? FormatHexCode(State.DataWord)
                                                                     : std::to_string(State.DataWord)));
        ops::WriteDacCode(address, State.DataWord);
    } catch (const RunTimeError&) {
        field->setText("");
        field->setFocus();
    }
}

void MainForm::Text_KeyPress(int16_t& keyAscii, void (MainForm::*click)())
{
    if (keyAscii == 13)
        (this->*click)();  // Enter acts exactly as a click into the same field
}

void MainForm::Text11_Click() { WriteCodeField(Text11, 0); }
void MainForm::Text10_Click() { WriteCodeField(Text10, 0); }
void MainForm::Text13_Click() { WriteCodeField(Text13, 0); }
void MainForm::Text12_Click() { WriteCodeField(Text12, 0); }
void MainForm::Text14_Click() { WriteCodeField(Text14, 1); }
void MainForm::Text15_Click() { WriteCodeField(Text15, 1); }
void MainForm::Text1_Click() { WriteCodeField(Text1, 1); }
void MainForm::Text2_Click() { WriteCodeField(Text2, 1); }
void MainForm::Text18_Click() { WriteCodeField(Text18, 2); }
void MainForm::Text19_Click() { WriteCodeField(Text19, 2); }
void MainForm::Text16_Click() { WriteCodeField(Text16, 2); }
void MainForm::Text17_Click() { WriteCodeField(Text17, 2); }
void MainForm::Text22_Click() { WriteCodeField(Text22, 3); }
void MainForm::Text23_Click() { WriteCodeField(Text23, 3); }
void MainForm::Text20_Click() { WriteCodeField(Text20, 3); }
void MainForm::Text21_Click() { WriteCodeField(Text21, 3); }
