#include "modulator/SegmentalSnr.h"

#include "modulator/WholeFileConversion.h"
#include "wave/TestHeader.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace tt {
namespace {

    TEST(SegmentalSnr, HandWorkedSegmentsAreLimitedAndAveraged)
    {
        // Segments of 2 frames:
        //   targets 3, 4 played 3, 4: no noise, +60 dB;
        //   targets 3, 4 played 2, 4: signal 25, noise 1, 10 log10(25) = 13.979 dB;
        //   targets 0, 0 played 1, 0: noise over silence, -10 dB;
        //   targets 1, 0 played 9, 9: signal 1, noise 145, -21.6 dB, limited to -10 dB;
        //   a partial segment (target 5, played 0) is not counted.
        const std::vector<double> targets = { 3, 4, 3, 4, 0, 0, 1, 0, 5 };
        const std::vector<double> played = { 3, 4, 2, 4, 1, 0, 9, 9, 0 };
        const double expected = (60.0 + 10.0 * std::log10(25.0) - 10.0 - 10.0) / 4.0;
        EXPECT_NEAR(segmentalSnrDb(targets, played, 2), expected, 1e-12);
        // Fewer frames than a segment count as one segment: 10 log10(25 / 1).
        EXPECT_NEAR(segmentalSnrDb(std::vector<double> { 3, 4 }, std::vector<double> { 2, 4 }, 5),
            10.0 * std::log10(25.0), 1e-12);
        EXPECT_EQ(segmentalSnrDb({}, {}, 5), 0.0);

        SegmentalSnr stretches(2);
        stretches.add(3, 3);
        stretches.discardPartialSegment(); // the end of one stretch does not join the next
        stretches.add(1, 0);
        stretches.add(0, 1);
        EXPECT_EQ(stretches.segmentCount(), 1);
        EXPECT_NEAR(stretches.meanDb(), 10.0 * std::log10(0.5), 1e-12);
    }

    TEST(SegmentalSnr, KnownSignalsAndSegmentLengths)
    {
        EXPECT_EQ(SegmentalSnr::segmentFramesAt(44100), 882);
        EXPECT_EQ(SegmentalSnr::segmentFramesAt(8000), 160);
        EXPECT_EQ(SegmentalSnr::segmentFramesAt(11025), 220); // 220.5, half to even
        EXPECT_EQ(SegmentalSnr::segmentFramesAt(11075), 222); // 221.5
        EXPECT_EQ(SegmentalSnr::segmentFramesAt(20), 1);

        // A sine played with a tenth of its amplitude as error everywhere: 20 dB in every segment.
        std::vector<double> targets, played;
        for (int n = 0; n < 8000; ++n) {
            const double s = 10000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * n / 8000.0);
            targets.push_back(s);
            played.push_back(s * 0.9);
        }
        EXPECT_NEAR(segmentalSnrDb(targets, played, 160), 20.0, 1e-9);
    }

    TEST(SegmentalSnr, MeasureOfAConvertedSoundUsesTheImagesSamples)
    {
        // 16-bit mono: targets are the negated samples; the image holds levels as they are.
        const WaveHeader header = testing::headerOf(16, 1, 400); // segments of 8 frames
        std::vector<std::uint8_t> data, image;
        std::vector<double> targets, played;
        for (int n = 0; n < 64; ++n) {
            const auto sample = std::int16_t(n % 2 == 0 ? -3000 : 2000);
            const auto level = std::int16_t(n % 3 == 0 ? 2900 : -1900);
            for (const std::int16_t v : { sample, level }) {
                auto& bytes = v == sample ? data : image;
                bytes.push_back(std::uint8_t(std::uint16_t(v)));
                bytes.push_back(std::uint8_t(std::uint16_t(v) >> 8));
            }
            targets.push_back(-double(sample) * 1.5);
            played.push_back(level);
        }
        ModulatorSettings settings;
        settings.volume = 150;
        EXPECT_DOUBLE_EQ(
            segmentalSnrDb(header, data, settings, image), segmentalSnrDb(targets, played, 8));
    }

} // namespace
} // namespace tt
