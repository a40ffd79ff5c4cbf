#include "wave/SampleFormat.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace tt {
namespace {

    // A model level written into every channel of an image frame plays back, from each channel,
    // as the played level the run measures with; over the clamps of both formats and for the
    // layouts fixed at compile time as well as for one read at run time.
    TEST(SampleFormat, AFrameWrittenPlaysItsPlayedLevelInEveryChannel)
    {
        const struct {
            int bits;
            int channels;
            std::int32_t level;
            std::int32_t played;
        } cases[] = {
            { 8, 1, 0, 0 },
            { 8, 2, -129, -128 },
            { 8, 3, 128, 127 },
            { 8, 1, -128, -128 },
            { 16, 1, 32768, 32767 },
            { 16, 2, -32768, -32768 },
            { 16, 2, 12345, 12345 },
            { 16, 3, -1, -1 },
        };
        for (const auto& c : cases) {
            WaveHeader header;
            header.bitsPerSample = c.bits;
            header.channelCount = c.channels;
            withFrameLayout(header, [&]<class Layout>(const Layout& layout) {
                using Samples = typename Layout::Samples;
                std::vector<std::uint8_t> frame(std::size_t(layout.strideBytes()), 0xAA);
                ASSERT_EQ(frame.size(), std::size_t(c.bits / 8 * c.channels));
                layout.write(frame.data(), c.level);
                for (int ch = 0; ch < c.channels; ++ch) {
                    EXPECT_EQ(Samples::readPlayed(frame.data() + ch * Samples::bytes), c.played)
                        << c.bits << " bit, " << c.channels << " channels, level " << c.level;
                }
                EXPECT_EQ(Samples::playedLevel(c.level), c.played);
                const std::uint8_t silence[2] = { Samples::silenceByte, Samples::silenceByte };
                EXPECT_EQ(Samples::read(silence), 0);
            });
        }
    }

} // namespace
} // namespace tt
