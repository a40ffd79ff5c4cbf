#pragma once

#include "wave/SampleBytes.h"

#include <cstdint>
#include <span>

namespace tt {

// The first keptChannels channels of every whole frame of interleaved PCM samples, as a new
// block; a partial frame at the end is dropped. For sounds with more channels than the sound
// server takes: the pin model, too, hears only channels 1 and 2. Throws std::bad_alloc.
// Requires 0 < keptChannels <= channelCount and bytesPerSample > 0.
SampleBytes leadingChannels(
    std::span<const std::uint8_t> samples, int channelCount, int bytesPerSample, int keptChannels);

} // namespace tt
