#pragma once
// The front end of the program without a window: it keeps the pulse-LDAC
// setting that the primitives read at every frame, and nothing else.
#include "board/primitives.h"
#include "mirror.h"

class HeadlessPanel final : public PanelMirror, public PulseLdacSetting {
public:
    bool PulseLdacTicked() const override { return pulse_; }
    bool PulseLdac() const override { return pulse_; }
    void ShowPulseLdac(bool on) override { pulse_ = on; }

private:
    bool pulse_ = false;
};
