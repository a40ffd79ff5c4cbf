#pragma once

#include <cstdint>

namespace tt {

// The highest rate a sound is played at (the sound server's limit): the window plays nothing
// above it, and the command line resamples to no rate above it.
inline constexpr std::uint32_t highestPlayedRateHz = 384000;

// The format of the loaded file, as its "fmt " chunk states it. Only files the loader accepted
// are ever described here: PCM, 8 or 16 bits per sample, at least one channel, a rate above 0.
struct WaveHeader {
    int channelCount = 0;
    std::uint32_t sampleRateHz = 0;
    std::uint32_t byteRate = 0; // as stated by the file, which may be wrong; not relied on
    std::uint16_t blockAlign = 0; // as stated by the file, which may be wrong; not relied on
    int bitsPerSample = 0; // 8 or 16

    int bytesPerSample() const { return bitsPerSample / 8; }
    std::int64_t bytesPerFrame() const { return std::int64_t(bytesPerSample()) * channelCount; }

    bool operator==(const WaveHeader&) const = default;
};

} // namespace tt
