#include "decode/ProducedSampleStream.h"

#include <gtest/gtest.h>
#include <vector>

namespace tt {
namespace {

    // A maker of a byte pattern that ends early: it makes madeBytes of the stated length.
    class EndsEarly : public ProducedSampleStream {
    public:
        EndsEarly(std::uint64_t statedFrames, std::uint64_t madeBytes)
            : madeBytes_(madeBytes)
        {
            setFormat(1, 8000, statedFrames);
        }

    protected:
        std::optional<std::size_t> produce(std::span<std::uint8_t> out) override
        {
            std::size_t made = 0;
            for (; made < out.size() && at_ < madeBytes_; ++made, ++at_) {
                out[made] = std::uint8_t(1 + at_ % 251);
            }
            return made;
        }
        bool restart() override
        {
            at_ = 0;
            return true;
        }

    private:
        std::uint64_t madeBytes_ = 0;
        std::uint64_t at_ = 0;
    };

    TEST(ProducedSampleStream, AMakerThatEndsEarlyIsFollowedBySilence)
    {
        // Ends in the first piece, in a later one, and exactly at a piece's end.
        const std::uint64_t piece = EndsEarly(1, 0).pieceBytes();
        for (const std::uint64_t made : { piece / 2, 2 * piece + 100, 2 * piece }) {
            EndsEarly stream(2 * piece, made); // 16-bit mono: twice the frames in bytes
            std::vector<std::uint8_t> bytes(std::size_t(stream.sizeBytes()));
            ASSERT_EQ(bytes.size(), 4 * piece);
            for (std::size_t at = 0; at < bytes.size(); at += 1000) {
                const std::size_t count = std::min<std::size_t>(1000, bytes.size() - at);
                ASSERT_TRUE(stream.readAt(at, { bytes.data() + at, count }));
            }
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                const auto expected = i < made ? std::uint8_t(1 + i % 251) : std::uint8_t(0);
                ASSERT_EQ(bytes[i], expected) << "made " << made << ", byte " << i;
            }
        }
    }

} // namespace
} // namespace tt
