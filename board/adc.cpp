#include "adc.h"

#include "primitives.h"

float AdcCodeToVolts(int32_t code)
{
    return static_cast<float>(code) * 20.0f / 8192.0f - 10.0f;
}

float MeasureChannel(int channel)
{
    State.AdcCommand = AdcChannelCommand(channel);
    ReadAdc(State.AdcCommand);
    State.AdcCommand = 0;
    const int32_t code = ReadAdc(State.AdcCommand) & kAdcCodeMask;
    return AdcCodeToVolts(code);
}
