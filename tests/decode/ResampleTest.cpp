// A tone resampled to another rate keeps its pitch, level and length, and the window's whole
// resampling and the command line's streamed one give the same bytes.

#include "decode/SoundLoader.h"
#include "wave/LoadedWaveStream.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace tt {
namespace {

    constexpr double toneHz = 1000;
    constexpr double toneLevel = 0.5; // of full scale

    // Each channel has a tone of its own, so that channels swapped or mixed show: the second
    // softer and later in phase than the first.
    double channelLevelAt(int channel, double seconds)
    {
        const double gain = channel == 0 ? 1.0 : 0.6;
        return toneLevel * gain
            * std::sin(2 * std::numbers::pi * toneHz * seconds + channel * std::numbers::pi / 3);
    }

    // toneHz at toneLevel on every channel (channelLevelAt), for seconds; 8-bit unsigned or
    // 16-bit signed.
    LoadedWave tone(int bits, int channels, std::uint32_t rateHz, double seconds)
    {
        LoadedWave wave;
        wave.header.bitsPerSample = bits;
        wave.header.channelCount = channels;
        wave.header.sampleRateHz = rateHz;
        const auto frames = std::size_t(std::lround(seconds * rateHz));
        auto block = std::make_shared<SampleBytes>();
        for (std::size_t i = 0; i < frames; ++i) {
            for (int c = 0; c < channels; ++c) {
                const double level = channelLevelAt(c, double(i) / rateHz);
                if (bits == 8) {
                    block->push_back(std::uint8_t(128 + std::lround(level * 127)));
                } else {
                    const auto sample = std::uint16_t(std::int16_t(std::lround(level * 32767)));
                    block->push_back(std::uint8_t(sample & 0xFF));
                    block->push_back(std::uint8_t(sample >> 8));
                }
            }
        }
        wave.data.sizeBytes = block->size();
        wave.data.block = std::move(block);
        return wave;
    }

    std::vector<double> channelLevels(const LoadedWave& wave, int channel)
    {
        std::vector<double> levels;
        const std::span<const std::uint8_t> bytes = wave.data.bytes();
        const auto frameBytes = std::size_t(wave.header.bytesPerFrame());
        for (std::size_t at = std::size_t(channel) * 2; at + 1 < bytes.size(); at += frameBytes) {
            levels.push_back(
                std::int16_t(std::uint16_t(bytes[at] | (bytes[at + 1] << 8))) / 32768.0);
        }
        return levels;
    }

    // The pitch by zero crossings: upward crossings per second between the first and the last.
    double measuredPitchHz(const std::vector<double>& levels, std::uint32_t rateHz)
    {
        std::vector<double> crossings; // in frames, interpolated
        for (std::size_t i = 1; i < levels.size(); ++i) {
            if (levels[i - 1] < 0 && levels[i] >= 0) {
                crossings.push_back(double(i - 1) + levels[i - 1] / (levels[i - 1] - levels[i]));
            }
        }
        if (crossings.size() < 2) {
            return 0;
        }
        return double(crossings.size() - 1) * rateHz / (crossings.back() - crossings.front());
    }

    TEST(Resample, AToneKeepsItsPitchLevelLengthAndTimingAndStreamsTheSameBytes)
    {
        struct Case {
            int bits;
            int channels;
            std::uint32_t fromHz;
            std::uint32_t toHz;
            double tolerance; // largest distance from the ideal tone at the new rate, full scale 1
        };
        const Case cases[] = {
            { 16, 1, 44100, 16000, 0.0005 },
            { 16, 2, 22050, 48000, 0.0005 },
            { 8, 2, 44100, 16000, 0.01 }, // 8 bits in: 16 bits out, within the 8-bit step
            { 16, 1, 48000, 44100, 0.0005 },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.channels)
                + " channels, " + std::to_string(c.fromHz) + " -> " + std::to_string(c.toHz));
            const LoadedWave source = tone(c.bits, c.channels, c.fromHz, 0.25);
            const std::int64_t sourceFrames
                = std::int64_t(source.data.sizeBytes) / source.header.bytesPerFrame();
            LoadedWave resampled;
            ASSERT_EQ(resampleSound(source, c.toHz, resampled), LoadStatus::Loaded);
            EXPECT_EQ(resampled.header.sampleRateHz, c.toHz);
            EXPECT_EQ(resampled.header.bitsPerSample, 16);
            EXPECT_EQ(resampled.header.channelCount, c.channels);
            const std::int64_t frames = std::llround(double(sourceFrames) * c.toHz / c.fromHz);
            EXPECT_EQ(resampled.data.sizeBytes, std::uint64_t(frames * 2 * c.channels));

            for (int channel = 0; channel < c.channels; ++channel) {
                const std::vector<double> levels = channelLevels(resampled, channel);
                EXPECT_NEAR(measuredPitchHz(levels, c.toHz), toneHz, 0.5);
                // Away from the two ends, where the tone starts and stops abruptly, every frame
                // lies on the tone as the new rate samples it: no delay, no change of level.
                double largest = 0;
                const auto margin = std::size_t(c.toHz / 100);
                for (std::size_t i = margin; i + margin < levels.size(); ++i) {
                    const double ideal = channelLevelAt(channel, double(i) / c.toHz);
                    largest = std::max(largest, std::abs(levels[i] - ideal));
                }
                EXPECT_LT(largest, c.tolerance) << "channel " << channel;
            }

            // The command line's way, in pieces of 777 frames and once more from the start.
            std::unique_ptr<SampleStream> stream
                = streamAtRate(std::make_unique<LoadedWaveStream>(source), c.toHz);
            ASSERT_NE(stream, nullptr);
            ASSERT_EQ(stream->sizeBytes(), resampled.data.sizeBytes);
            std::vector<std::uint8_t> streamed(std::size_t(stream->sizeBytes()));
            const std::size_t pieceBytes = 777 * 2 * std::size_t(c.channels);
            for (std::size_t at = 0; at < streamed.size(); at += pieceBytes) {
                ASSERT_TRUE(stream->readAt(
                    at, { streamed.data() + at, std::min(pieceBytes, streamed.size() - at) }));
            }
            EXPECT_TRUE(std::ranges::equal(streamed, resampled.data.bytes()));
            std::vector<std::uint8_t> again(streamed.size());
            ASSERT_TRUE(stream->readAt(0, again));
            EXPECT_TRUE(again == streamed);
        }
    }

    TEST(Resample, ItsOwnRateLeavesTheSoundAsItIs)
    {
        const LoadedWave source = tone(8, 1, 8000, 0.01);
        std::unique_ptr<SampleStream> stream
            = streamAtRate(std::make_unique<LoadedWaveStream>(source), 8000);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(stream->header().bitsPerSample, 8);
        std::vector<std::uint8_t> bytes(std::size_t(stream->sizeBytes()));
        ASSERT_TRUE(stream->readAt(0, bytes));
        EXPECT_TRUE(std::ranges::equal(bytes, source.data.bytes()));
        // One frame at 8000 Hz has no frame at 1 Hz.
        LoadedWave none;
        EXPECT_EQ(resampleSound(tone(16, 1, 8000, 1.0 / 8000), 1, none), LoadStatus::NotSupported);
    }

    // What would need gigabytes, or more frames than a sound holds, is refused with its reason
    // before the resampler is made; the rest of the limits' edges pass.
    TEST(Resample, RefusesTooManyChannelsAndTooLongResultsBeforeAllocating)
    {
        struct Case {
            int channels;
            std::int64_t frames;
            std::uint32_t fromHz;
            std::uint32_t toHz;
            const char* reason; // empty: resampled
        };
        const Case cases[] = {
            { 65025, 2, 8000, 16000, "It has 65025 channels; at most 256 are resampled." },
            { 257, 2, 44100, 16000, "It has 257 channels; at most 256 are resampled." },
            { 256, 2, 44100, 16000, "" },
            { 6, 2, 1, 384000,
                "It has 6 channels; at most 5 are resampled from 1 Hz to 384000 Hz." },
            { 1, 5700, 1, 384000,
                "It would have 2188800000 frames at that rate, more than a sound holds (4 GiB)." },
            { 1, 5600, 1, 384000,
                "It would have 2150400000 frames at that rate, more than a sound holds (4 GiB)." },
            { 1, 1, 8000, 1, "It would have no frame at that rate." },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.frames)
                + " frames, " + std::to_string(c.fromHz) + " -> " + std::to_string(c.toHz));
            LoadedWave wave;
            wave.header = { c.channels, c.fromHz, 0, 0, 16 };
            wave.data.block = std::make_shared<SampleBytes>(std::size_t(c.frames * c.channels * 2));
            wave.data.sizeBytes = wave.data.block->size();
            std::string reason = "untouched";
            const std::unique_ptr<SampleStream> stream
                = streamAtRate(std::make_unique<LoadedWaveStream>(wave), c.toHz, &reason);
            EXPECT_EQ(stream == nullptr, *c.reason != 0);
            EXPECT_EQ(reason, *c.reason != 0 ? c.reason : "untouched");
        }
    }

} // namespace
} // namespace tt
