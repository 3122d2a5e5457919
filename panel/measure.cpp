// Output voltage measurement with the on-board ADC, channel by channel.
#include "board/adc.h"
#include "mainform.h"
#include "controls/numled.h"
#include "runtime/numtext.h"

void MainForm::Command14_Click()
{
    NumLED* const displays[4] = {NumLED1, NumLED2, NumLED3, NumLED4};
    for (int channel = 0; channel < 4; ++channel) {
        const float volts = MeasureChannel(channel);
        displays[channel]->setValue(QString::fromStdString(FormatVolts4(volts)));
        // Each display shows its value before the next channel's requests go out.
        displays[channel]->repaint();
    }
}
