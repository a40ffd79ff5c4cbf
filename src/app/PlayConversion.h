#pragma once
// The figures behind the window's Play 1Bit. The sound itself is made as it plays
// (LiveOneBitSound); the figures come from the core's one pass over the same frames, measuring.

#include "modulator/ConversionResult.h"
#include "modulator/ModulatorSettings.h"
#include "wave/FrameRange.h"
#include "wave/LoadedWave.h"

namespace tt {

// The error and the audible SNR of the pass at these settings over the frames of `part` of the
// sound (all of its bytes for an empty part): those of the one-bit sound Play 1Bit plays, measured
// on the way, without holding its samples.
ConversionResult playFigures(
    const LoadedWave& sound, FrameRange part, const ModulatorSettings& settings);

} // namespace tt
