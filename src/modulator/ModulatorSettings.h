#pragma once

#include "modulator/ModulatorKind.h"

namespace tt {

// The user controls of the model, read from the window at the start of every pass.
struct ModulatorSettings {
    static constexpr int value1Min = 1, value1Max = 9000, value1Default = 3000;
    static constexpr int value2Min = 1, value2Max = 32767, value2Default = 1000;
    static constexpr int volumeMin = 0, volumeMax = 400, volumeDefault = 100;

    int value1 = value1Default; // leak: 100 / (9000 - value1) of the level leaks per frame
    int value2 = value2Default; // step: how far the pin drives the level per frame
    int volume = volumeDefault; // gain in percent
    ModulatorKind modulator = ModulatorKind::Greedy; // how each frame's drive is chosen
};

} // namespace tt
