#include "wave/SoundImageLayout.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

namespace tt {
namespace {

    using Bytes = std::vector<std::uint8_t>;

    void putU16(Bytes& b, std::uint16_t v)
    {
        b.push_back(std::uint8_t(v));
        b.push_back(std::uint8_t(v >> 8));
    }

    void putU32(Bytes& b, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) {
            b.push_back(std::uint8_t(v >> (8 * i)));
        }
    }

    void putChunk(Bytes& b, const std::string& id, std::uint32_t sizeBytes, const Bytes& body)
    {
        b.insert(b.end(), id.begin(), id.end());
        putU32(b, sizeBytes);
        b.insert(b.end(), body.begin(), body.end());
    }

    // "RIFF" header and a format chunk of formatBytes (16 or more), nothing after it.
    Bytes header(int channels, std::uint32_t rateHz, int bits, std::uint32_t formatBytes = 16)
    {
        Bytes b;
        putChunk(b, "RIFF", 0, {});
        b.insert(b.end(), { 'W', 'A', 'V', 'E' });
        Bytes format;
        putU16(format, 1);
        putU16(format, std::uint16_t(channels));
        putU32(format, rateHz);
        putU32(format, rateHz * std::uint32_t(channels * bits / 8));
        putU16(format, std::uint16_t(channels * bits / 8));
        putU16(format, std::uint16_t(bits));
        format.resize(formatBytes, 0);
        putChunk(b, "fmt ", formatBytes, format);
        return b;
    }

    std::optional<SoundImageLayout> walk(const Bytes& image)
    {
        return findSoundImageLayout(image);
    }

    TEST(SoundImageLayout, CanonicalImageGivesFormatAndData)
    {
        Bytes image = header(2, 22050, 16);
        putChunk(image, "data", 8, Bytes(8, 0x11));
        const auto layout = walk(image);
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->channelCount, 2);
        EXPECT_EQ(layout->sampleRateHz, 22050u);
        EXPECT_EQ(layout->bitsPerSample, 16);
        EXPECT_EQ(layout->dataOffsetBytes, 44u);
        EXPECT_EQ(layout->dataSizeBytes, 8u);
    }

    TEST(SoundImageLayout, SkipsOtherChunksAndLongerFormat)
    {
        Bytes image = header(1, 8000, 8, 18);
        putChunk(image, "LIST", 4, { 'I', 'N', 'F', 'O' });
        putChunk(image, "data", 3, { 1, 2, 3 });
        const auto layout = walk(image);
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->dataOffsetBytes, 20u + 18u + 12u + 8u);
        EXPECT_EQ(layout->dataSizeBytes, 3u);
    }

    TEST(SoundImageLayout, OddChunkWithAndWithoutPadByte)
    {
        Bytes padded = header(1, 8000, 8);
        putChunk(padded, "junk", 3, { 'a', 'b', 'c', 0 });
        putChunk(padded, "data", 2, { 7, 9 });
        Bytes unpadded = header(1, 8000, 8);
        putChunk(unpadded, "junk", 3, { 'a', 'b', 'c' });
        putChunk(unpadded, "data", 2, { 7, 9 });
        const auto a = walk(padded);
        const auto b = walk(unpadded);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(padded[a->dataOffsetBytes], 7);
        EXPECT_EQ(unpadded[b->dataOffsetBytes], 7);
    }

    TEST(SoundImageLayout, DataLongerThanImageIsCutToWholeFrames)
    {
        Bytes image = header(2, 44100, 16);
        putChunk(image, "data", 1000, Bytes(10, 0));
        const auto layout = walk(image);
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->dataSizeBytes, 8u);
    }

    TEST(SoundImageLayout, RefusesBrokenImages)
    {
        Bytes good = header(1, 8000, 8);
        putChunk(good, "data", 4, { 1, 2, 3, 4 });
        ASSERT_TRUE(walk(good));

        Bytes noRiff = good;
        noRiff[0] = 'r';
        EXPECT_FALSE(walk(noRiff));
        Bytes noFmt = good;
        noFmt[12] = 'F';
        EXPECT_FALSE(walk(noFmt));
        for (std::size_t cut = 0; cut < 45; ++cut) { // every truncation before a sample
            EXPECT_FALSE(walk(Bytes(good.begin(), good.begin() + long(cut)))) << cut;
        }

        Bytes noData = header(1, 8000, 8);
        putChunk(noData, "LIST", 4, { 'I', 'N', 'F', 'O' });
        EXPECT_FALSE(walk(noData));

        Bytes hugeChunk = header(1, 8000, 8); // a size that would wrap a 32-bit offset
        putChunk(hugeChunk, "LIST", 0xFFFFFFF8u, {});
        putChunk(hugeChunk, "data", 4, { 1, 2, 3, 4 });
        EXPECT_FALSE(walk(hugeChunk));

        Bytes hugeFormat = good;
        hugeFormat[16] = hugeFormat[17] = hugeFormat[18] = hugeFormat[19] = 0xFF;
        EXPECT_FALSE(walk(hugeFormat));

        Bytes halfFrame = header(1, 8000, 16);
        putChunk(halfFrame, "data", 1, { 1 });
        EXPECT_FALSE(walk(halfFrame));

        for (const auto& [channels, rate, bits] :
            { std::tuple(0, 8000u, 8), std::tuple(1, 0u, 8),
                std::tuple(1, 8000u, 24), std::tuple(1, 8000u, 0) }) {
            Bytes image = header(channels, rate, bits);
            putChunk(image, "data", 12, Bytes(12, 0));
            EXPECT_FALSE(walk(image)) << channels << " " << rate << " " << bits;
        }
    }

} // namespace
} // namespace tt
