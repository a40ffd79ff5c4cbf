#pragma once
// What both fuzz targets share: their check that aborts, and the model settings read from the
// input's first bytes.

#include "modulator/ModulatorSettings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace tt::fuzzing {

// The bytes settingsOf reads.
inline constexpr std::size_t settingsBytes = 5;

// A broken promise is a finding: abort, so the fuzzer keeps the input.
inline void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Value 1 and Value 2 from two little-endian words, the Volume from one byte, each within range.
inline ModulatorSettings settingsOf(const std::uint8_t* p)
{
    ModulatorSettings settings;
    settings.value1 = 1 + (p[0] | (p[1] << 8)) % ModulatorSettings::value1Max;
    settings.value2 = 1 + (p[2] | (p[3] << 8)) % ModulatorSettings::value2Max;
    settings.volume = p[4] * ModulatorSettings::volumeMax / 255;
    return settings;
}

} // namespace tt::fuzzing
