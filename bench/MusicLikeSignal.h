#pragma once
// Input for the conversion and export benchmarks: 16-bit stereo PCM built from a few sines and
// some noise, so the model's up/down decisions are as unpredictable as with real music.

#include "wave/WaveHeader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace tt::bench {

inline constexpr std::int64_t musicFrameCount = 10'000'000;

inline WaveHeader musicHeader()
{
    WaveHeader header;
    header.channelCount = 2;
    header.sampleRateHz = 44100;
    header.bitsPerSample = 16;
    header.blockAlign = 4;
    header.byteRate = 44100 * 4;
    return header;
}

// The data block, built once per process.
inline const std::vector<std::uint8_t>& musicData()
{
    static const std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> bytes(std::size_t(musicFrameCount) * 4);
        std::mt19937 random(12345);
        std::normal_distribution<double> noise(0.0, 900.0);
        const double twoPi = 6.283185307179586;
        for (std::int64_t f = 0; f < musicFrameCount; ++f) {
            const double t = double(f) / 44100.0;
            const double tone = 7000.0 * std::sin(twoPi * 110.0 * t)
                + 4500.0 * std::sin(twoPi * 277.2 * t + 0.3)
                + 3000.0 * std::sin(twoPi * 659.3 * t + 1.1)
                + 1500.0 * std::sin(twoPi * 2093.0 * t);
            for (int c = 0; c < 2; ++c) {
                const double v = std::round(tone * (c == 0 ? 1.0 : 0.8) + noise(random));
                const auto sample = std::int16_t(std::clamp(v, -32768.0, 32767.0));
                const auto word = std::uint16_t(sample);
                bytes[std::size_t(f) * 4 + std::size_t(c) * 2] = std::uint8_t(word);
                bytes[std::size_t(f) * 4 + std::size_t(c) * 2 + 1] = std::uint8_t(word >> 8);
            }
        }
        return bytes;
    }();
    return data;
}

} // namespace tt::bench
