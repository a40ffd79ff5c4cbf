#pragma once
// The figures behind the window's Play 1Bit. The sound itself is made as it plays
// (LiveOneBitSound); the figures come from one pass of their own over the same frames.

#include "modulator/ConversionResult.h"
#include "modulator/ModulatorSettings.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <span>

namespace tt {

// The error and the audible SNR of the pass over `part` at these settings: those of the one-bit
// sound Play 1Bit plays, measured on the way through pieces, without holding its samples.
ConversionResult playFigures(const WaveHeader& header, std::span<const std::uint8_t> part,
    const ModulatorSettings& settings);

} // namespace tt
