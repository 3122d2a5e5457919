// The number coding switch: all sixteen code fields and the four read-back
// labels change between hexadecimal and decimal, without device traffic.
#include "codefield.h"
#include "codetext.h"
#include "mainform.h"
#include "pickbox.h"

#include <QComboBox>
#include <QLabel>

namespace {
// A text that cannot be converted (an emptied field, a stray character, a
// number beyond 32 bits) converts as 0, so every text stays readable in the
// coding the switch ends up in.
std::string DecimalToHex(const QString& text)
{
    return FormatHexCode(RoundToLong(Val(text.toStdString())).value_or(0));
}

std::string HexToDecimal(const QString& text)
{
    return std::to_string(HexToLong(text.toStdString()).value_or(0));
}

template <class Convert>
void ConvertAll(MainForm& form, Convert convert)
{
    for (CodeField* field : form.CodeFields())
        field->setText(QString::fromStdString(convert(field->text())));
    for (QLabel* label : form.ReadBackLabels())
        label->setText(QString::fromStdString(convert(label->text())));
}
}  // namespace

void MainForm::ComboCoding_Click()
{
    if (ComboCoding->currentText() == "Hexadecimal Coding" && State.Coding == "Dec") {
        ConvertFieldsToHex();
        State.Coding = "Hex";
    }
    if (ComboCoding->currentText() == "Decimal Coding" && State.Coding == "Hex") {
        ConvertFieldsToDecimal();
        State.Coding = "Dec";
    }
}

void MainForm::ConvertFieldsToHex() { ConvertAll(*this, DecimalToHex); }

void MainForm::ConvertFieldsToDecimal() { ConvertAll(*this, HexToDecimal); }
