#pragma once
// The two sample formats of a data block and of the one-bit image made from it: how sample bytes
// become the levels the model reads, how a model level is stored in an image sample, and the
// level that sample plays. withSampleFormat is the one place that tells 8-bit from 16-bit
// samples; everything else asks the format it is handed.

#include "wave/WaveHeader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tt {

// Unsigned samples with their centre at 0x80: 0x80 reads 0, 0x00 reads -128.
struct Samples8 {
    static constexpr int bytes = 1;
    static constexpr double fullScale = 128.0;
    static constexpr std::uint8_t silenceByte = 0x80;

    static std::int32_t read(const std::uint8_t* p) { return std::int32_t(p[0]) - 128; }
    // The level the image sample of a model level plays: limited to -128 ... +127.
    static std::int32_t playedLevel(std::int32_t level) { return std::clamp(level, -128, 127); }
    static void write(std::uint8_t* p, std::int32_t level)
    {
        p[0] = std::uint8_t(playedLevel(level) + 128);
    }
    // The level an image sample plays (the image stores levels as they are).
    static std::int32_t readPlayed(const std::uint8_t* p) { return read(p); }
};

// Signed little-endian samples. They enter the model negated (-32768 reads +32768); the image
// stores levels without that negation.
struct Samples16 {
    static constexpr int bytes = 2;
    static constexpr double fullScale = 32768.0;
    static constexpr std::uint8_t silenceByte = 0;

    static std::int32_t read(const std::uint8_t* p) { return -readPlayed(p); }
    // Limited to +32767 (the model's top level is +32768).
    static std::int32_t playedLevel(std::int32_t level) { return std::min(level, 32767); }
    static void write(std::uint8_t* p, std::int32_t level)
    {
        const auto sample = std::uint16_t(playedLevel(level));
        p[0] = std::uint8_t(sample);
        p[1] = std::uint8_t(sample >> 8);
    }
    static std::int32_t readPlayed(const std::uint8_t* p)
    {
        return std::int16_t(std::uint16_t(p[0] | (p[1] << 8)));
    }
};

// The sample bit depths a data block may have.
constexpr bool knownSampleBits(int bitsPerSample)
{
    return bitsPerSample == 8 || bitsPerSample == 16;
}

// Calls f(Samples8 {}) for 8-bit samples, else f(Samples16 {}) (callers that may meet other
// depths refuse them with knownSampleBits first).
template <class F> decltype(auto) withSampleFormat(int bitsPerSample, F&& f)
{
    return bitsPerSample == 8 ? f(Samples8 {}) : f(Samples16 {});
}

// Channels 1 and 2 of a frame; channel 2 reads 0 in a mono file, and channels beyond the
// second are skipped by the frame stride.
struct ChannelPair {
    std::int32_t first = 0;
    std::int32_t second = 0;
};

// The frames of a data block or image: Samples per channel, ChannelCount channels (1 and 2 are
// the common layouts, fixed at compile time so that the pass inlines them; 0 takes the count
// given at run time).
template <class SampleFormat, int ChannelCount> struct FrameLayout {
    using Samples = SampleFormat;

    int channels = ChannelCount;

    std::ptrdiff_t strideBytes() const
    {
        return std::ptrdiff_t(Samples::bytes) * (ChannelCount == 0 ? channels : ChannelCount);
    }

    ChannelPair read(const std::uint8_t* frame) const
    {
        ChannelPair pair;
        pair.first = Samples::read(frame);
        if (ChannelCount > 1 || (ChannelCount == 0 && channels > 1)) {
            pair.second = Samples::read(frame + Samples::bytes);
        }
        return pair;
    }

    // Stores the image sample of a model level in every channel of the frame.
    void write(std::uint8_t* frame, std::int32_t level) const
    {
        if constexpr (Samples::bytes == 2 && ChannelCount == 2) {
            const std::uint32_t pair
                = std::uint32_t(std::uint16_t(Samples::playedLevel(level))) * 0x00010001u;
            const std::uint8_t bytes[4] = { std::uint8_t(pair), std::uint8_t(pair >> 8),
                std::uint8_t(pair >> 16), std::uint8_t(pair >> 24) };
            std::memcpy(frame, bytes, 4);
        } else {
            const int count = ChannelCount == 0 ? channels : ChannelCount;
            for (int c = 0; c < count; ++c) {
                Samples::write(frame + std::ptrdiff_t(c) * Samples::bytes, level);
            }
        }
    }
};

// Calls f(layout) with the FrameLayout of the header's samples and channels. With
// ByChannelCount the common channel counts get layouts of their own (for the conversion pass),
// without it every count shares the run-time one (fewer copies of a loop that is not hot).
template <bool ByChannelCount = true, class F>
decltype(auto) withFrameLayout(const WaveHeader& header, F&& f)
{
    return withSampleFormat(header.bitsPerSample, [&]<class Samples>(Samples) -> decltype(auto) {
        if constexpr (ByChannelCount) {
            switch (header.channelCount) {
            case 1:
                return f(FrameLayout<Samples, 1> {});
            case 2:
                return f(FrameLayout<Samples, 2> {});
            default:
                break;
            }
        }
        return f(FrameLayout<Samples, 0> { header.channelCount });
    });
}

} // namespace tt
