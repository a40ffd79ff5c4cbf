// The one-bit sound made as it plays: read in any pieces it is the whole-part pass's image; a
// change of settings takes effect at the next frame read, from the level the pin has there; A/B
// hands out the original frames while the conversion goes on underneath.

#include "app/LiveOneBitSound.h"

#include "modulator/WholeFileConversion.h"
#include "wave/TestHeader.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace tt {
namespace {

    // A sine per channel (each its own pitch), so that a channel read in the wrong place shows.
    std::shared_ptr<SampleBytes> tones(const WaveHeader& header, std::int64_t frames)
    {
        auto bytes = std::make_shared<SampleBytes>(std::size_t(frames * header.bytesPerFrame()));
        std::uint8_t* p = bytes->data();
        for (std::int64_t f = 0; f < frames; ++f) {
            for (int c = 0; c < header.channelCount; ++c) {
                const double v
                    = 0.7 * std::sin(2 * std::numbers::pi * (110.0 + 55 * c) * double(f) / 8000);
                if (header.bitsPerSample == 8) {
                    *p++ = std::uint8_t(128 + std::lround(127 * v));
                } else {
                    const auto s = std::uint16_t(std::int16_t(std::lround(32767 * v)));
                    *p++ = std::uint8_t(s);
                    *p++ = std::uint8_t(s >> 8);
                }
            }
        }
        return bytes;
    }

    // The whole-part image in the stream's channels (the first `channels` of every frame).
    std::vector<std::uint8_t> image(const WaveHeader& header, std::span<const std::uint8_t> data,
        const ModulatorSettings& settings, int channels)
    {
        std::vector<std::uint8_t> area(data.size());
        convertWholeFile(header, data, settings, area);
        const auto frameBytes = std::size_t(header.bytesPerFrame());
        const auto keptBytes = std::size_t(channels * header.bytesPerSample());
        std::vector<std::uint8_t> kept;
        for (std::size_t at = 0; at < area.size(); at += frameBytes) {
            kept.insert(kept.end(), area.begin() + std::ptrdiff_t(at),
                area.begin() + std::ptrdiff_t(at + keptBytes));
        }
        return kept;
    }

    // Channel 1's level in frame f of the stream's bytes.
    double levelAt(const std::vector<std::uint8_t>& bytes, const WaveHeader& out, std::int64_t f)
    {
        const std::uint8_t* p = bytes.data() + std::size_t(f * out.bytesPerFrame());
        return out.bitsPerSample == 8 ? double(p[0]) - 128
                                      : double(std::int16_t(p[0] | (p[1] << 8)));
    }

    TEST(LiveOneBitSound, IsTheImageFollowsNewSettingsAtOnceAndSwitchesToTheOriginal)
    {
        constexpr std::int64_t frames = 20000;
        constexpr std::int64_t change = 7001; // the first frame read after the change
        const ModulatorSettings lookAhead { 3000, 1000, 100, ModulatorKind::LookAhead };
        const ModulatorSettings other { 6500, 2500, 180, ModulatorKind::Greedy };
        const struct Case {
            int bits;
            int channels;
            ModulatorSettings before;
            ModulatorSettings after;
        } cases[] = {
            { 8, 1, {}, other },
            { 16, 2, {}, lookAhead },
            { 16, 2, lookAhead, other },
            { 16, 10, lookAhead, {} }, // more channels than the server takes: 1 and 2 play
            { 8, 3, ModulatorSettings { 2000, 30, 100, ModulatorKind::LookAhead },
                ModulatorSettings { 9000, 1000, 100, ModulatorKind::Greedy } },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.bits) + "-bit, " + std::to_string(c.channels)
                + " channels, " + std::string(modulatorName(c.before.modulator)) + " then "
                + std::string(modulatorName(c.after.modulator)));
            const WaveHeader header = testing::headerOf(c.bits, c.channels);
            const auto data = tones(header, frames);
            LiveOneBitSound sound(header, data, *data, c.before, 8);
            const WaveHeader& out = sound.header();
            ASSERT_EQ(out.channelCount, c.channels > 8 ? 2 : c.channels);
            const auto frameBytes = std::size_t(out.bytesPerFrame());
            const std::vector<std::uint8_t> before
                = image(header, *data, c.before, out.channelCount);
            const std::vector<std::uint8_t> after = image(header, *data, c.after, out.channelCount);
            ASSERT_EQ(sound.sizeBytes(), before.size());

            // In pieces of every size, the image to the byte.
            std::vector<std::uint8_t> heard(before.size());
            std::size_t at = 0;
            for (std::size_t piece = 1; at < heard.size(); piece = piece * 3 + 1) {
                const std::size_t bytes = std::min(piece * frameBytes, heard.size() - at);
                ASSERT_TRUE(sound.readAt(at, std::span(heard).subspan(at, bytes)));
                at += bytes;
            }
            EXPECT_EQ(heard, before);

            // A change heard from the next frame read, the level going on without a jump
            // larger than one step of the pin.
            ASSERT_TRUE(sound.readAt(0, std::span(heard).first(std::size_t(change) * frameBytes)));
            sound.setSettings(c.after);
            ASSERT_TRUE(sound.readAt(std::size_t(change) * frameBytes,
                std::span(heard).subspan(std::size_t(change) * frameBytes)));
            EXPECT_TRUE(std::equal(heard.begin(),
                heard.begin() + std::ptrdiff_t(change * frameBytes), before.begin()));
            EXPECT_NE(heard, before);
            // One frame moves the level by the step and the leak, or from rail to rail.
            const double maxAmp = c.bits == 8 ? 128 : 32768;
            const auto oneStep = [&](const ModulatorSettings& s) {
                return s.value1 >= ModulatorSettings::value1Max
                    ? 2 * maxAmp
                    : std::min(2 * maxAmp, s.value2 + 100.0 / (9000 - s.value1) * maxAmp);
            };
            const double largestStep = std::max(oneStep(c.before), oneStep(c.after)) + 1;
            EXPECT_LE(std::fabs(levelAt(heard, out, change) - levelAt(heard, out, change - 1)),
                largestStep);
            // Played again, it starts with the new settings: their image.
            ASSERT_TRUE(sound.readAt(0, heard));
            EXPECT_EQ(heard, after);

            // A/B: the original in the same place, then the one-bit sound goes on where it is.
            const std::size_t third = heard.size() / 3 / frameBytes * frameBytes;
            ASSERT_TRUE(sound.readAt(0, std::span(heard).first(third)));
            sound.setHearsOriginal(true);
            ASSERT_TRUE(sound.readAt(third, std::span(heard).subspan(third, third)));
            sound.setHearsOriginal(false);
            ASSERT_TRUE(sound.readAt(2 * third, std::span(heard).subspan(2 * third)));
            for (std::int64_t f = 0; f < std::int64_t(heard.size() / frameBytes); ++f) {
                const std::uint8_t* got = heard.data() + std::size_t(f) * frameBytes;
                const bool inOriginal = std::size_t(f) * frameBytes >= third
                    && std::size_t(f) * frameBytes < 2 * third;
                const std::uint8_t* want = inOriginal
                    ? data->data() + std::size_t(f * header.bytesPerFrame())
                    : after.data() + std::size_t(f) * frameBytes;
                ASSERT_TRUE(std::equal(got, got + frameBytes, want)) << "frame " << f;
            }
        }
    }

} // namespace
} // namespace tt
