#include "wave/overview/OverviewStrip.h"

#include "text/TextFormat.h"
#include "wave/FrameCount.h"
#include "wave/TestHeader.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace tt {
namespace {

    using Bytes = std::vector<std::uint8_t>;

    constexpr Rgb white { 255, 255, 255 };
    constexpr Rgb grey { 32, 32, 32 };
    constexpr Rgb black { 0, 0, 0 };

    using testing::headerOf;

    // The plain drawing: one line call per sampled frame, samples decoded here on their own.
    Image straightforwardStrip(const WaveHeader& h, const Bytes& data, std::int64_t frameCount)
    {
        Image strip(600, 100);
        strip.fillBox(1, 1, 598, 98, white);
        const double scaleX = 600.0 / double(frameCount);
        const double scaleY = 80.0 / double(1 << h.bitsPerSample);
        const std::size_t bytesPerSample = std::size_t(h.bitsPerSample / 8);
        int prevX = 0;
        int prevY = 50;
        for (std::int64_t f = 0; f <= frameCount - 1; f += 16) {
            const std::uint8_t* p = data.data() + std::size_t(f) * h.channelCount * bytesPerSample;
            const auto sample = [&](int channel) {
                const std::uint8_t* s = p + std::size_t(channel) * bytesPerSample;
                return bytesPerSample == 1 ? int(s[0]) - 128 : -int(std::int16_t(s[0] | s[1] << 8));
            };
            const int value = (sample(0) + (h.channelCount > 1 ? sample(1) : 0)) / 2;
            const int x = int(roundHalfEven(double(f) * scaleX));
            const int y = int(roundHalfEven(double(value) * scaleY + 50.0));
            strip.lineBetween(prevX, prevY, x, y, grey);
            prevX = x;
            prevY = y;
        }
        return strip;
    }

    Image fastStrip(const WaveHeader& h, const Bytes& data, std::int64_t frameCount)
    {
        Image strip(600, 100);
        drawOverviewStrip(strip, h, data, frameCount);
        return strip;
    }

    // Number of differing pixels; 0 when the images are equal.
    int differences(const Image& a, const Image& b)
    {
        int count = 0;
        for (int i = 0; i < 600 * 100; ++i) {
            count += a.pixels()[i] != b.pixels()[i];
        }
        return count;
    }

    Bytes randomSamples(std::size_t sizeBytes, unsigned seed)
    {
        std::mt19937 random(seed);
        Bytes b(sizeBytes);
        for (auto& byte : b) {
            byte = std::uint8_t(random());
        }
        return b;
    }

    // A slow sweep with noise: many columns hold several points close together.
    Bytes wanderingSamples(std::size_t sizeBytes, int bits, unsigned seed)
    {
        std::mt19937 random(seed);
        Bytes b(sizeBytes);
        const std::size_t step = std::size_t(bits / 8);
        for (std::size_t i = 0; i + step <= sizeBytes; i += step) {
            const double level
                = std::sin(double(i) * 0.0007) * 0.9 + double(random() % 200) / 2000.0;
            if (bits == 8) {
                b[i] = std::uint8_t(std::lround(level * 120.0) + 128);
            } else {
                const auto v = std::uint16_t(std::int16_t(std::lround(level * 30000.0)));
                b[i] = std::uint8_t(v);
                b[i + 1] = std::uint8_t(v >> 8);
            }
        }
        return b;
    }

    // Runs of the extreme sample values (8-bit 0x00 and 0xFF; 16-bit 0x8000, 0x7FFF and -1),
    // every channel alike, so that frames reach the lowest and highest value a frame can give.
    Bytes extremeSamples(std::size_t sizeBytes, int bits, int channels)
    {
        const std::vector<std::vector<std::uint8_t>> extremes = bits == 8
            ? std::vector<std::vector<std::uint8_t>> { { 0x00 }, { 0xFF } }
            : std::vector<std::vector<std::uint8_t>> { { 0x00, 0x80 }, { 0xFF, 0x7F },
                  { 0xFF, 0xFF } };
        Bytes b;
        for (std::size_t frame = 0; b.size() < sizeBytes; ++frame) {
            const auto& sample = extremes[frame / 40 % extremes.size()];
            for (int c = 0; c < channels; ++c) {
                b.insert(b.end(), sample.begin(), sample.end());
            }
        }
        b.resize(sizeBytes);
        return b;
    }

    TEST(OverviewStrip, EqualsTheOneLinePerSegmentDrawing)
    {
        const std::int64_t frameLengths[]
            = { 8, 16, 24, 100, 160, 1000, 9600, 9608, 20000, 76800, 123457, 1'000'000 };
        // 76 800 frames: x advances by exactly 1/8 per point and meets the halves exactly.
        const int layouts[][2] = { { 1, 8 }, { 2, 8 }, { 1, 16 }, { 2, 16 }, { 3, 16 } };
        unsigned seed = 1;
        for (const std::int64_t frames : frameLengths) {
            for (const auto& layout : layouts) {
                const WaveHeader h = headerOf(layout[1], layout[0]);
                const std::size_t sizeBytes = std::size_t(frames * h.bytesPerFrame());
                const std::int64_t count = frameCount(h, sizeBytes);
                for (const Bytes& data :
                    { randomSamples(sizeBytes, seed), wanderingSamples(sizeBytes, layout[1], seed),
                        extremeSamples(sizeBytes, layout[1], layout[0]) }) {
                    EXPECT_EQ(differences(
                                  fastStrip(h, data, count), straightforwardStrip(h, data, count)),
                        0)
                        << frames << " frames, " << layout[0] << " channels, " << layout[1]
                        << " bits";
                }
                ++seed;
            }
        }
    }

    TEST(OverviewStrip, SixteenFramesDrawOneSegmentAtColumnZero)
    {
        const WaveHeader h = headerOf(16, 2);
        Bytes data(16 * 4, 0);
        data[1] = 0x40; // channel 1 of frame 0 stored as +16384, read as -16384
        data[3] = 0x40; // channel 2 likewise: value -16384 -> y = 50 - 20 = 30
        const Image strip = fastStrip(h, data, frameCount(h, data.size()));
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 600; ++x) {
                const bool onSegment = x == 0 && y >= 30 && y <= 50;
                const bool inBox = x >= 1 && x <= 598 && y >= 1 && y <= 98;
                const Rgb expected = onSegment ? grey : inBox ? white : black;
                ASSERT_EQ(strip.pixel(x, y), expected) << x << "," << y;
            }
        }
    }

    TEST(OverviewStrip, EightBitCentreLiesOnTheMiddleRow)
    {
        const WaveHeader h = headerOf(8, 2);
        const Bytes silence(1600 * 2, 0x80);
        const Image strip = fastStrip(h, silence, 1600);
        // The last sampled frame, 1584, lands at x = 594.
        for (int x = 0; x <= 598; ++x) {
            EXPECT_EQ(strip.pixel(x, 50), x <= 594 ? grey : white) << x;
            EXPECT_EQ(strip.pixel(x, 49), x == 0 ? black : white) << x;
            EXPECT_EQ(strip.pixel(x, 51), x == 0 ? black : white) << x;
        }

        const Bytes lowest(1600 * 2, 0x00); // -128 each: y = 50 - 40 = 10
        const Image low = fastStrip(h, lowest, 1600);
        EXPECT_EQ(low.pixel(300, 10), grey);
        EXPECT_EQ(low.pixel(300, 50), white);
    }

    TEST(OverviewStrip, SecondDrawingLeavesNothingOfTheFirst)
    {
        const WaveHeader h = headerOf(16, 2);
        const std::size_t sizeBytes = 200'000 * 4;
        Bytes loud = randomSamples(sizeBytes, 99);
        loud[1] = 0x80; // frame 0 at full scale, drawn into the border column 0
        loud[3] = 0x80;
        const Bytes silence(sizeBytes / 2, 0);

        Image strip(600, 100);
        drawOverviewStrip(strip, h, loud, frameCount(h, loud.size()));
        ASSERT_EQ(strip.pixel(0, 80), grey);
        drawOverviewStrip(strip, h, silence, frameCount(h, silence.size()));
        EXPECT_EQ(
            differences(strip, straightforwardStrip(h, silence, frameCount(h, silence.size()))), 0);
    }

    TEST(OverviewStrip, NothingLoadedDrawsOnlyTheBox)
    {
        Image strip(600, 100);
        drawOverviewStrip(strip, headerOf(16, 2), {}, 0);
        EXPECT_EQ(differences(strip, straightforwardStrip(headerOf(16, 2), {}, 0)), 0);
    }

} // namespace
} // namespace tt
