#pragma once

#include "wave/WaveHeader.h"

#include <cstdint>

namespace tt {

// Frames the model, the view and the export walk: (bytes / (bits * channels)) * 8, the division
// first. A multiple of 8, up to 7 frames short of the frames the data holds; 0 for a header
// without channels or bits.
inline std::int64_t frameCount(const WaveHeader& header, std::uint64_t dataSizeBytes)
{
    const std::uint64_t bitsPerFrame
        = std::uint64_t(header.bitsPerSample > 0 ? header.bitsPerSample : 0)
        * std::uint64_t(header.channelCount > 0 ? header.channelCount : 0);
    if (bitsPerFrame == 0) {
        return 0;
    }
    return static_cast<std::int64_t>(dataSizeBytes / bitsPerFrame * 8);
}

} // namespace tt
