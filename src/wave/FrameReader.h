#pragma once
// Reading the channel samples of one frame: the one place that knows how sample bytes become
// levels. The overview strip, the pin model and the zoom view all read through here.

#include "wave/WaveHeader.h"

#include <cstdint>

namespace tt {

// 8-bit WAV samples are unsigned with their centre at 0x80: 0x80 reads 0, 0x00 reads -128.
inline std::int32_t readSample8(const std::uint8_t* p)
{
    return std::int32_t(p[0]) - 128;
}

// 16-bit samples are signed little-endian and enter the model negated (-32768 reads +32768).
inline std::int32_t readSample16(const std::uint8_t* p)
{
    return -std::int32_t(std::int16_t(std::uint16_t(p[0] | (p[1] << 8))));
}

// Channels 1 and 2 of a frame; channel 2 reads 0 in a mono file, and channels beyond the
// second are skipped by the caller's frame stride.
struct ChannelPair {
    std::int32_t first = 0;
    std::int32_t second = 0;
};

inline ChannelPair readChannels(const std::uint8_t* frame, const WaveHeader& header)
{
    ChannelPair pair;
    if (header.bitsPerSample == 8) {
        pair.first = readSample8(frame);
        if (header.channelCount > 1) {
            pair.second = readSample8(frame + 1);
        }
    } else {
        pair.first = readSample16(frame);
        if (header.channelCount > 1) {
            pair.second = readSample16(frame + 2);
        }
    }
    return pair;
}

} // namespace tt
