#include "search/SettingsSearch.h"

#include "modulator/AudibleSnr.h"
#include "modulator/MeasuredFrames.h"
#include "modulator/PinModel.h"
#include "modulator/SegmentalSnr.h"
#include "modulator/WholeFileConversion.h"
#include "search/SnrOfStretches.h"
#include "search/StretchPlan.h"
#include "wave/TestHeader.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <thread>
#include <vector>

namespace tt {
namespace {

    struct Sound {
        WaveHeader header;
        std::vector<std::uint8_t> data;
    };

    // A sine of `hz` at `amplitude` of full scale with a little deterministic noise, every
    // channel alike but the second at 0.8 of the first.
    Sound tone(int bits, int channels, std::uint32_t rateHz, std::int64_t frames, double hz,
        double amplitude = 0.7)
    {
        Sound sound;
        sound.header = testing::headerOf(bits, channels, rateHz);
        std::uint32_t noise = 7;
        for (std::int64_t f = 0; f < frames; ++f) {
            noise = noise * 1664525u + 1013904223u;
            const double level
                = amplitude * std::sin(2.0 * std::numbers::pi * hz * double(f) / rateHz)
                + double(noise >> 24) / 25600.0;
            for (int c = 0; c < channels; ++c) {
                const double v = level * (c == 1 ? 0.8 : 1.0);
                if (bits == 8) {
                    sound.data.push_back(std::uint8_t(128 + std::lround(v * 127)));
                } else {
                    const auto word = std::uint16_t(std::int16_t(std::lround(v * 32767)));
                    sound.data.push_back(std::uint8_t(word));
                    sound.data.push_back(std::uint8_t(word >> 8));
                }
            }
        }
        return sound;
    }

    // The measure of the image a real conversion with the settings writes.
    double convertedSnrDb(const Sound& sound, const ModulatorSettings& settings)
    {
        std::vector<std::uint8_t> image(sound.data.size());
        convertWholeFile(sound.header, sound.data, settings, image);
        return audibleSnrDb(sound.header, sound.data, settings, image);
    }

    // Budgets small enough that a few seconds of sound go through every stage of a long one.
    SearchTuning smallBudgets(int threads)
    {
        SearchTuning tuning;
        tuning.sampleFrames = 6000;
        tuning.sampleStretchCount = 6;
        tuning.confirmFrames = 16000;
        tuning.confirmStretchCount = 8;
        tuning.wholeFileFrameLimit = 30000;
        tuning.finalStretchCount = 10;
        tuning.threadCount = threads;
        return tuning;
    }

    TEST(SettingsSearch, AnEightBitToneGetsASmallStepAndAMuchHigherSnr)
    {
        // The defaults drive the pin from limit to limit on an 8-bit sound: -7 dB here.
        const Sound sound = tone(8, 1, 8000, 16000, 1000.0);
        const ModulatorSettings start; // 3000, 1000, 100 %
        std::vector<int> percents;
        const auto caller = std::this_thread::get_id();
        const SearchResult found = findBestSettings(sound.header, sound.data, start, [&](int p) {
            EXPECT_EQ(std::this_thread::get_id(), caller);
            percents.push_back(p);
            return true;
        });
        EXPECT_FALSE(found.cancelled);
        EXPECT_TRUE(found.measuredOnWholeFile);
        EXPECT_LT(found.value2, 100);
        EXPECT_GT(found.snrDb, found.startSnrDb + 15.0);
        ModulatorSettings chosen = start;
        chosen.value1 = found.value1;
        chosen.value2 = found.value2;
        // The reported figures are exactly what the converted images measure.
        EXPECT_EQ(found.snrDb, convertedSnrDb(sound, chosen));
        EXPECT_EQ(found.startSnrDb, convertedSnrDb(sound, start));
        ASSERT_FALSE(percents.empty());
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
        EXPECT_EQ(percents.back(), 100);
    }

    TEST(SettingsSearch, SameSoundAndVolumeGiveTheSameSettingsWithAnyThreadCount)
    {
        const struct {
            Sound sound;
            int volume;
        } cases[] = {
            { tone(16, 2, 11025, 70000, 440.0), 100 },
            { tone(8, 1, 8000, 70000, 300.0, 0.4), 250 },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.sound.header.bitsPerSample);
            ModulatorSettings start;
            start.volume = c.volume;
            const SearchResult first
                = findBestSettings(c.sound.header, c.sound.data, start, {}, smallBudgets(1));
            EXPECT_FALSE(first.measuredOnWholeFile);
            EXPECT_GE(first.snrDb, first.startSnrDb);
            for (const int threads : { 2, 5 }) {
                const SearchResult again = findBestSettings(
                    c.sound.header, c.sound.data, start, {}, smallBudgets(threads));
                EXPECT_EQ(again.value1, first.value1);
                EXPECT_EQ(again.value2, first.value2);
                EXPECT_EQ(again.snrDb, first.snrDb);
                EXPECT_EQ(again.startSnrDb, first.startSnrDb);
            }
        }
    }

    TEST(SettingsSearch, CancelledOrEmptySearchesKeepTheStartingSettings)
    {
        const Sound sound = tone(16, 1, 22050, 50000, 200.0);
        const ModulatorSettings start { 4321, 1234, 80 };
        int calls = 0;
        const SearchResult cancelled
            = findBestSettings(sound.header, sound.data, start, [&](int) { return ++calls < 3; });
        EXPECT_TRUE(cancelled.cancelled);
        EXPECT_EQ(calls, 3);
        EXPECT_EQ(cancelled.value1, 4321);
        EXPECT_EQ(cancelled.value2, 1234);

        const SearchResult empty = findBestSettings(sound.header, {}, start);
        EXPECT_FALSE(empty.cancelled);
        EXPECT_EQ(empty.value1, 4321);
        EXPECT_EQ(empty.value2, 1234);
    }

    TEST(SettingsSearch, StretchesAreWholeSegmentsSpreadOverTheSound)
    {
        const struct {
            std::int64_t frames, segment, measured;
            int count;
            std::size_t expectedCount;
            std::int64_t expectedLength;
        } cases[] = {
            { 1000, 160, 1000, 8, 1, 1000 }, // short enough: the whole sound
            { 100000, 160, 16000, 10, 10, 1600 },
            { 100000, 160, 16000, 1000, 625, 160 }, // at least a segment each
            { 1001, 160, 1000, 8, 6, 160 }, // no more than the sound holds
            { 26460000, 882, 262144, 64, 64, 3528 },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.frames);
            const std::vector<Stretch> stretches
                = spreadStretches(c.frames, c.segment, c.measured, c.count);
            ASSERT_EQ(stretches.size(), c.expectedCount);
            std::int64_t previousEnd = 0;
            for (const Stretch& s : stretches) {
                EXPECT_EQ(s.frameCount(), c.expectedLength);
                EXPECT_GE(s.firstFrame, previousEnd);
                EXPECT_LE(s.endFrame, c.frames);
                if (stretches.size() > 1) {
                    EXPECT_EQ(s.firstFrame % c.segment, 0);
                }
                previousEnd = s.endFrame;
            }
            // Spread: the first lies in the first part of the sound, the last in the last.
            EXPECT_LT(stretches.front().firstFrame, c.frames / std::int64_t(stretches.size()));
            EXPECT_GT(stretches.back().endFrame,
                c.frames - c.frames / std::int64_t(stretches.size()) - c.segment);
        }
    }

    TEST(SettingsSearch, StretchScoresAgreeWithTheConvertedImage)
    {
        const Sound sounds[] = {
            tone(8, 1, 8000, 20000, 700.0),
            tone(16, 2, 44100, 30000, 2500.0),
            tone(16, 3, 11025, 12000, 90.0),
        };
        // With Value 1 = 1 and a step of 300, a level from rest needs hundreds of frames to
        // reach a loud 16-bit target: the pre-roll must cover them.
        const ModulatorSettings settings[] = { { 3000, 1000, 100 }, { 1, 6, 150 }, { 1, 300, 100 },
            { 7500, 800, 40 }, { 9000, 50, 100 } };
        for (const Sound& sound : sounds) {
            const std::int64_t frames
                = conversionFrameCount(sound.header, sound.data.size(), sound.data.size());
            const std::int64_t segment = SegmentalSnr::segmentFramesAt(sound.header.sampleRateHz);
            for (const ModulatorKind modulator :
                { ModulatorKind::Greedy, ModulatorKind::LookAhead })
                for (ModulatorSettings s : settings) {
                    s.modulator = modulator;
                    SCOPED_TRACE(::testing::Message()
                        << sound.header.bitsPerSample << " bit " << sound.header.channelCount
                        << " ch, " << s.value1 << "/" << s.value2 << " "
                        << modulatorName(modulator));
                    std::vector<std::uint8_t> image(sound.data.size());
                    convertWholeFile(sound.header, sound.data, s, image);
                    SearchMeter meter;
                    const Stretch whole { 0, frames };
                    EXPECT_EQ(
                        audibleSnrOfStretches(s, sound.header, sound.data, { &whole, 1 }, meter),
                        audibleSnrDb(sound.header, sound.data, s, image));

                    // Stretches of one segment each, spread over the sound, each after its
                    // pre-roll, score as the same segments of the whole conversion do, but for the
                    // few decisions where the two levels have not yet met.
                    const std::vector<Stretch> spread
                        = spreadStretches(frames, segment, 8 * segment, 8);
                    ASSERT_EQ(spread.size(), 8u);
                    AudibleSnr expected(
                        sound.header.sampleRateHz, PinModel(s, sound.header).maxAmp);
                    std::int64_t frame = 0;
                    forEachMeasuredFrame(
                        sound.header, sound.data, s, image, [&](double target, double played) {
                            for (const Stretch& one : spread) {
                                if (frame >= one.firstFrame && frame < one.endFrame) {
                                    expected.add(target, played);
                                    if (frame + 1 == one.endFrame) {
                                        expected.endStretch();
                                    }
                                }
                            }
                            ++frame;
                        });
                    EXPECT_NEAR(audibleSnrOfStretches(s, sound.header, sound.data, spread, meter),
                        expected.meanDb(), 0.05);
                    EXPECT_GT(meter.framesRun(), frames + 8 * segment);
                }
        }
    }

} // namespace
} // namespace tt
