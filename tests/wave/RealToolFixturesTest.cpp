// Files written by sox and ffmpeg rather than built in code: the loader must read what other
// programs write. The expected sample bytes are those sox itself decodes from each file (their
// count and FNV-1a hash, taken with `sox FILE -t raw -` when the files were made).

#include "wave/WaveLoader.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace tt {
namespace {

    std::uint64_t fnv1a(std::span<const std::uint8_t> bytes)
    {
        std::uint64_t hash = 0xcbf29ce484222325u;
        for (const std::uint8_t b : bytes) {
            hash = (hash ^ b) * 0x100000001b3u;
        }
        return hash;
    }

    struct Fixture {
        const char* file;
        int channelCount;
        std::uint32_t sampleRateHz;
        int bitsPerSample;
        std::uint64_t dataSizeBytes;
        std::uint64_t dataHash;
    };

    TEST(RealToolFixtures, LoadAsTheirWritersDecodeThem)
    {
        const Fixture fixtures[] = {
            { "sox-8bit-mono.wav", 1, 8000, 8, 400, 0x4d48a9e28308cc29u },
            { "sox-16bit-stereo.wav", 2, 22050, 16, 2644, 0x072d62fcee3d4b08u },
            // WAVE_FORMAT_EXTENSIBLE with a "fact" chunk before the data.
            { "sox-extensible-6ch.wav", 6, 48000, 16, 5760, 0x4267213d7dfb66f4u },
            // A "LIST" chunk between the format and the data.
            { "ffmpeg-list-before-data.wav", 1, 11025, 16, 1102, 0x1050c0eb08675f80u },
            // Written to a pipe: RIFF and data sizes are 0xFFFFFFFF.
            { "ffmpeg-streamed-8bit.wav", 2, 16000, 8, 1280, 0x02b3208e816a284bu },
        };
        for (const Fixture& fixture : fixtures) {
            SCOPED_TRACE(fixture.file);
            LoadedWave wave;
            ASSERT_EQ(loadWaveFile(std::string(TICKTRACE_WAVE_FIXTURES) + "/" + fixture.file, wave),
                LoadStatus::Loaded);
            EXPECT_EQ(wave.header.channelCount, fixture.channelCount);
            EXPECT_EQ(wave.header.sampleRateHz, fixture.sampleRateHz);
            EXPECT_EQ(wave.header.bitsPerSample, fixture.bitsPerSample);
            EXPECT_EQ(wave.data.sizeBytes, fixture.dataSizeBytes);
            EXPECT_EQ(fnv1a(wave.data.bytes()), fixture.dataHash);
        }
    }

} // namespace
} // namespace tt
