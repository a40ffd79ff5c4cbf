// The player drives a real pin with the exported bits. Replaying the text's bits through the pin
// model must therefore land on exactly the levels of the one-bit image, the sound "Play 1Bit"
// plays, also where the clamp holds the level at a limit and where a leak above 1 makes the
// level fall on an up drive; and the error figure is that of the replayed levels. Whichever
// modulator chose the bits.

#include "export/PlayerSourceBits.h"
#include "export/PlayerSourceExport.h"
#include "export/StringSink.h"
#include "modulator/PinModel.h"
#include "wave/FrameReader.h"
#include "wave/LevelRounding.h"
#include "wave/TestHeader.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace tt {
namespace {

    using testing::StringSink;

    using testing::bitsOfText;

    struct Sound {
        const char* name;
        int bitsPerSample;
        int channelCount;
        std::vector<std::int32_t> samples; // signed, interleaved
    };

    std::vector<std::uint8_t> bytesOf(const Sound& sound)
    {
        std::vector<std::uint8_t> bytes;
        for (const std::int32_t s : sound.samples) {
            if (sound.bitsPerSample == 8) {
                bytes.push_back(std::uint8_t(s + 128));
            } else {
                bytes.push_back(std::uint8_t(std::uint16_t(s)));
                bytes.push_back(std::uint8_t(std::uint16_t(s) >> 8));
            }
        }
        return bytes;
    }

    std::vector<Sound> sounds()
    {
        const int frames = 16 * 600;
        Sound sweep { "loud 16-bit stereo sweep", 16, 2, {} };
        Sound square { "8-bit mono square at full scale", 8, 1, {} };
        Sound noise { "16-bit mono noise", 16, 1, {} };
        std::mt19937 random(5);
        std::uniform_int_distribution<int> any16(-32768, 32767);
        double phase = 0.0;
        for (int f = 0; f < frames; ++f) {
            phase += 2.0 * std::numbers::pi * (20.0 + 4000.0 * f / frames) / 44100.0;
            const auto level = std::int32_t(std::lround(32767.0 * std::sin(phase)));
            sweep.samples.insert(sweep.samples.end(), { level, level });
            square.samples.push_back((f / 40) % 2 == 0 ? 127 : -128);
            noise.samples.push_back(any16(random));
        }
        return { sweep, square, noise };
    }

    TEST(ExportReplay, BitsReplayToTheOneBitImage)
    {
        // Value 1, Value 2, Volume: ordinary, loud enough to hold the level at both limits, and
        // leaks above 1 (Value 1 beyond 8900), up to the infinite leak at 9000.
        std::vector<ModulatorSettings> settings;
        for (const ModulatorKind kind : { ModulatorKind::Greedy, ModulatorKind::LookAhead }) {
            for (const auto& [value1, value2, volume] : { std::array { 3000, 1000, 100 },
                     std::array { 121, 3320, 208 }, std::array { 1, 32767, 400 },
                     std::array { 8901, 3000, 100 }, std::array { 8950, 20000, 300 },
                     std::array { 8999, 500, 400 }, std::array { 9000, 1000, 100 } }) {
                settings.push_back({ value1, value2, volume, kind });
            }
        }
        bool heldAtTop = false, heldAtBottom = false;
        for (const Sound& sound : sounds()) {
            const WaveHeader header
                = testing::headerOf(sound.bitsPerSample, sound.channelCount, 44100);
            const std::vector<std::uint8_t> data = bytesOf(sound);
            for (const ModulatorSettings& s : settings) {
                SCOPED_TRACE(std::string(sound.name) + ", Value 1 " + std::to_string(s.value1)
                    + ", Value 2 " + std::to_string(s.value2) + ", "
                    + std::string(modulatorName(s.modulator)));
                std::vector<std::uint8_t> image(data.size());
                StringSink text;
                ConversionResult result;
                ASSERT_EQ(exportPlayerSource(text, header, data, s, image, result),
                    ExportStatus::Written);
                const std::vector<bool> bits = bitsOfText(text.text);
                ASSERT_EQ(std::int64_t(bits.size()), result.frameCount);

                PinModel player(s, header);
                const std::size_t frameBytes = std::size_t(header.bytesPerFrame());
                double errorSum = 0.0;
                for (std::size_t f = 0; f < bits.size(); ++f) {
                    const double before = player.modelLevel;
                    const double target
                        = player.targetOf(readChannels(&data[f * frameBytes], header));
                    errorSum = errorSum + std::fabs(before - target);
                    player.drive(bits[f]);
                    heldAtTop |= before == player.maxAmp && player.modelLevel == player.maxAmp;
                    heldAtBottom |= before == -player.maxAmp && player.modelLevel == -player.maxAmp;
                    const std::int32_t level = roundLevel(player.modelLevel);
                    const std::int32_t sample = header.bitsPerSample == 8
                        ? std::int32_t(image[f * frameBytes]) - 128
                        : std::int16_t(std::uint16_t(
                            image[f * frameBytes] | (image[f * frameBytes + 1] << 8)));
                    const std::int32_t written = header.bitsPerSample == 8
                        ? std::clamp(level, -128, 127)
                        : std::min(level, 32767);
                    ASSERT_EQ(written, sample) << "frame " << f + 1;
                }
                EXPECT_EQ(errorSum, result.errorSum);
            }
        }
        EXPECT_TRUE(heldAtTop && heldAtBottom) << "no case held the level at both limits";
    }

} // namespace
} // namespace tt
