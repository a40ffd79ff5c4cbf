#pragma once
// In-memory WAV data for the zoom view tests.

#include "wave/ChunkHeader.h"
#include "wave/TestHeader.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tt::testing {

struct TestWave {
    WaveHeader header;
    ChunkHeader data;
};

// frames frames of channelCount channels; sample(frame, channel) gives the stored value (the raw
// byte for 8-bit files, the signed word for 16-bit files). The block is exactly the data size.
inline TestWave makeWave(int bitsPerSample, int channelCount, std::int64_t frames,
    const std::function<int(std::int64_t, int)>& sample)
{
    TestWave wave;
    wave.header = headerOf(bitsPerSample, channelCount, 44100);
    auto block = std::make_shared<SampleBytes>();
    block->reserve(std::size_t(frames * wave.header.bytesPerFrame()));
    for (std::int64_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channelCount; ++c) {
            const int value = sample(f, c);
            block->push_back(std::uint8_t(value & 0xff));
            if (bitsPerSample == 16) {
                block->push_back(std::uint8_t((value >> 8) & 0xff));
            }
        }
    }
    wave.data.sizeBytes = block->size();
    wave.data.block = std::move(block);
    return wave;
}

inline TestWave makeSilence16(std::int64_t frames)
{
    return makeWave(16, 1, frames, [](std::int64_t, int) { return 0; });
}

} // namespace tt::testing
