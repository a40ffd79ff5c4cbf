#include "wave/LeadingChannels.h"

#include <gtest/gtest.h>
#include <vector>

namespace tt {
namespace {

    TEST(LeadingChannels, KeepsTheFirstChannelsOfEveryWholeFrame)
    {
        // Three 16-bit frames of three channels, then half a frame.
        const std::vector<std::uint8_t> samples
            = { 1, 2, 3, 4, 5, 6, 11, 12, 13, 14, 15, 16, 21, 22, 23, 24, 25, 26, 31, 32, 33 };
        const SampleBytes stereo = leadingChannels(samples, 3, 2, 2);
        EXPECT_EQ(std::vector<std::uint8_t>(stereo.begin(), stereo.end()),
            (std::vector<std::uint8_t> { 1, 2, 3, 4, 11, 12, 13, 14, 21, 22, 23, 24 }));

        const SampleBytes first = leadingChannels(samples, 3, 1, 1); // as 8-bit: every third byte
        EXPECT_EQ(std::vector<std::uint8_t>(first.begin(), first.end()),
            (std::vector<std::uint8_t> { 1, 4, 11, 14, 21, 24, 31 }));

        EXPECT_TRUE(leadingChannels({}, 10, 2, 2).empty());
    }

} // namespace
} // namespace tt
