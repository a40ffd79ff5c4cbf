#pragma once
// How sound from the decoder and the resampler becomes the 16-bit PCM the rest of the program
// reads, and how loaded PCM samples go to the resampler. Levels are normalised: full scale is
// -1 ... +1.

#include "wave/LevelRounding.h"
#include "wave/SampleFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>

namespace tt {

// level x 32768 to the nearest integer, halves to even (the conversion pass's rounding), clipped
// to -32768 ... 32767. Levels are clipped to +-2 first, within roundLevel's range.
inline std::int16_t pcm16FromLevel(double level)
{
    if (std::isnan(level)) {
        return 0;
    }
    const std::int32_t rounded = roundLevel(std::clamp(level, -2.0, 2.0) * 32768.0);
    return std::int16_t(std::clamp(rounded, -32768, 32767));
}

// One loaded sample in the format Samples (Samples8 or Samples16) as a normalised level, the
// sign as stored.
template <class Samples> double levelOfSample(const std::uint8_t* sample)
{
    return Samples::readPlayed(sample) / Samples::fullScale;
}

// The levels as 16-bit samples (pcm16FromLevel), little-endian, two bytes each from out on.
inline void putPcm16(std::span<const double> levels, std::uint8_t* out)
{
    for (const double level : levels) {
        const auto bits = std::uint16_t(pcm16FromLevel(level));
        *out++ = std::uint8_t(bits & 0xFF);
        *out++ = std::uint8_t(bits >> 8);
    }
}

} // namespace tt
