// Trim silence finds the first and last frame louder than -60 dBFS in channel 1 or 2. (That a
// part converts as its frames cut into a file of their own is tested through ticktrace-convert.)

#include "app/SilenceTrim.h"

#include "wave/LoadedWaveStream.h"
#include "wave/TestHeader.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tt {
namespace {

    LoadedWave soundOf(const WaveHeader& header, std::span<const std::uint8_t> bytes)
    {
        LoadedWave wave;
        wave.header = header;
        wave.data.sizeBytes = bytes.size();
        const std::shared_ptr<SampleBytes> block = newSampleBytes(bytes.size());
        std::ranges::copy(bytes, block->begin());
        wave.data.block = block;
        return wave;
    }

    TEST(SilenceTrim, FindsTheFirstAndLastFrameLouderThanSixtyDecibelsBelowFullScale)
    {
        struct Loud {
            std::int64_t frame;
            int channel;
            int level; // as the model reads it: 16-bit levels negated, 8-bit around 128
        };
        const struct Case {
            int bits;
            int channels;
            std::vector<Loud> levels; // every other frame is silent (level 0)
            FrameRange within;
            FrameRange expected;
        } cases[] = {
            // 32 / 32768 lies below -60 dBFS (-60.2), 33 above (-59.9).
            { 16, 1, { { 100, 0, 32 }, { 200, 0, -33 }, { 300, 0, 33 }, { 400, 0, -32 } }, {},
                { 200, 301 } },
            { 16, 2, { { 5, 1, 20000 }, { 9000, 1, 50 } }, {}, { 5, 9001 } }, // channel 2 counts
            { 16, 3, { { 10, 2, 30000 }, { 20, 0, 40 } }, {}, { 20, 21 } }, // channel 3 does not
            { 8, 1, { { 0, 0, 1 }, { 9999, 0, -1 } }, {}, { 0, 10000 } }, // the sound's ends
            { 8, 2, { { 50, 0, 100 }, { 60, 1, 100 }, { 70, 0, 100 } }, { 55, 65 }, { 60, 61 } },
            { 16, 1, { { 50, 0, 32 } }, {}, {} }, // nothing loud
            { 16, 1, { { 50, 0, 9000 } }, { 60, 100 }, {} }, // nothing loud in the range
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.bits) + "-bit, " + std::to_string(c.channels)
                + " channels, expected " + std::to_string(c.expected.first) + " … "
                + std::to_string(c.expected.end));
            const WaveHeader header = testing::headerOf(c.bits, c.channels);
            const auto frameBytes = std::size_t(header.bytesPerFrame());
            const std::size_t sampleBytes = std::size_t(c.bits / 8);
            std::vector<std::uint8_t> bytes(10000 * frameBytes, c.bits == 8 ? 0x80 : 0);
            for (const Loud& loud : c.levels) {
                std::uint8_t* sample = bytes.data() + std::size_t(loud.frame) * frameBytes
                    + std::size_t(loud.channel) * sampleBytes;
                if (c.bits == 8) {
                    sample[0] = std::uint8_t(128 + loud.level);
                } else {
                    const auto stored = std::uint16_t(std::int16_t(-loud.level));
                    sample[0] = std::uint8_t(stored);
                    sample[1] = std::uint8_t(stored >> 8);
                }
            }
            LoadedWaveStream input(soundOf(header, bytes));
            FrameRange loud { 1, 2 };
            ASSERT_TRUE(findLoudPart(input, c.within, loud));
            EXPECT_EQ(loud, c.expected);
        }
    }

} // namespace
} // namespace tt
