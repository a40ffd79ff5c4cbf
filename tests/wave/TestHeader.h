#pragma once

#include "wave/WaveHeader.h"

#include <cstdint>

namespace tt::testing {

// The header the loader gives for an honest file of this format.
inline WaveHeader headerOf(
    int bitsPerSample, int channelCount = 1, std::uint32_t sampleRateHz = 8000)
{
    WaveHeader header;
    header.bitsPerSample = bitsPerSample;
    header.channelCount = channelCount;
    header.sampleRateHz = sampleRateHz;
    header.blockAlign = std::uint16_t(header.bytesPerFrame());
    header.byteRate = sampleRateHz * std::uint32_t(header.blockAlign);
    return header;
}

} // namespace tt::testing
