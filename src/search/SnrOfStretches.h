#pragma once

#include "modulator/ModulatorSettings.h"
#include "search/SearchMeter.h"
#include "search/Stretch.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <span>

namespace tt {

// The score of one candidate: the audible SNR of the one-bit sound that the settings give over
// the stretches of the data block, as AudibleSnr measures it on a converted image. Each
// stretch is run from rest, after a pre-roll long enough for the model to forget that start; a
// stretch at frame 0 has none, exactly as the whole-file conversion. Every stretch but the last
// must be whole segments long. Meaningless once the meter is cancelled (the run then stops).
double audibleSnrOfStretches(const ModulatorSettings& settings, const WaveHeader& header,
    std::span<const std::uint8_t> data, std::span<const Stretch> stretches, SearchMeter& meter);

// Frames of pre-roll before a stretch for the settings: the level forgets its past by the leak
// factor per frame, so after n / leak frames what it started from counts e^-n.
std::int64_t preRollFrames(const ModulatorSettings& settings, const WaveHeader& header);

} // namespace tt
