#pragma once
// What the server tells the front end about the changes it makes, so that a
// register panel can follow them (without sending anything itself). The
// program without a window keeps only the pulse-LDAC setting.
#include <cstdint>

class PanelMirror {
public:
    virtual ~PanelMirror() = default;
    // The "Pulse LDAC After data write" setting, read and set without traffic.
    virtual bool PulseLdac() const = 0;
    virtual void ShowPulseLdac(bool on) = 0;

    // A DAC code written or read back, at the current resolution.
    virtual void ShowCode(int /*channel*/, int32_t /*code*/) {}
    virtual void ShowRange(int /*channel*/, int /*rangeCode*/) {}
    virtual void ShowControl(int32_t /*bits*/) {}
    // Switch bits after a write; switches and lamps after a read.
    virtual void ShowPower(int32_t /*bits*/, bool /*withLamps*/) {}
    // The pin fields of ProgramState.
    virtual void ShowPins() {}
    virtual void ShowVolts(int /*channel*/, float /*volts*/) {}
    virtual void ShowResolution(int /*bits*/) {}
};
