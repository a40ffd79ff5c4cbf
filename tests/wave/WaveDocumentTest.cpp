#include "wave/WaveDocument.h"

#include "wave/FileInfo.h"
#include "wave/FrameCount.h"
#include "wave/MemoryByteSource.h"
#include "wave/WaveBytes.h"
#include "wave/WaveImage.h"
#include "wave/WaveParser.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tt {
namespace {

    using namespace tt::testing;

    LoadedWave parsed(const Bytes& file)
    {
        MemoryByteSource source(file);
        LoadedWave wave;
        EXPECT_EQ(parseWave(source, wave), LoadStatus::Loaded);
        return wave;
    }

    std::uint32_t u32At(std::span<const std::uint8_t> b, std::size_t at)
    {
        return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8)
            | (std::uint32_t(b[at + 2]) << 16) | (std::uint32_t(b[at + 3]) << 24);
    }

    std::uint32_t u16At(std::span<const std::uint8_t> b, std::size_t at)
    {
        return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8);
    }

    std::string idAt(std::span<const std::uint8_t> b, std::size_t at)
    {
        return std::string(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + 4));
    }

    TEST(FrameCount, DividesFirstThenScales)
    {
        EXPECT_EQ(frameCount({ 2, 44100, 0, 0, 16 }, 1'000'000), 250'000);
        EXPECT_EQ(frameCount({ 1, 44100, 0, 0, 16 }, 1'001), 496);
    }

    TEST(WaveDocument, StartsEmpty)
    {
        const WaveDocument document;
        EXPECT_FALSE(document.isLoaded());
        EXPECT_EQ(document.frameCount(), 0);
        const WaveImage image;
        EXPECT_EQ(image.bytes().size(), 2u);
        EXPECT_TRUE(image.sampleArea().empty());
    }

    // The image of a parsed file, as a pass over it would fill it.
    WaveImage imageOf(const LoadedWave& wave)
    {
        WaveImage image;
        EXPECT_TRUE(image.prepare(wave.header, wave.data.sizeBytes));
        return image;
    }

    TEST(WaveDocument, AcceptTakesTheSampleBytesWithoutCopying)
    {
        WaveDocument document;
        LoadedWave wave = parsed(canonicalWave({ 1, 2, 44100, 16 }, samplePattern(1'000'000)));
        const auto* block = wave.data.block.get();
        document.accept(std::move(wave));
        EXPECT_TRUE(document.isLoaded());
        EXPECT_EQ(document.data.block.get(), block);
        EXPECT_EQ(document.frameCount(), 250'000);
        EXPECT_EQ(document.header.sampleRateHz, 44100u);
    }

    TEST(WaveImage, GetsACanonicalHeaderWhereverTheFormatChunkLay)
    {
        Bytes chunks;
        putChunk(chunks, "LIST", Bytes(10, 'q'));
        putChunk(chunks, "fmt ", formatBody({ 1, 1, 22050, 8 }, 40));
        putChunk(chunks, "data", samplePattern(1001));
        chunks.push_back(0);
        const WaveImage made = imageOf(parsed(riff(chunks)));

        const auto image = made.bytes();
        ASSERT_EQ(image.size(), 44u + 1001u);
        EXPECT_EQ(idAt(image, 0), "RIFF");
        EXPECT_EQ(u32At(image, 4), 36u + 1001u);
        EXPECT_EQ(idAt(image, 8), "WAVE");
        EXPECT_EQ(idAt(image, 12), "fmt ");
        EXPECT_EQ(u32At(image, 16), 16u);
        EXPECT_EQ(u16At(image, 20), 1u); // plain PCM even for an extensible source
        EXPECT_EQ(u16At(image, 22), 1u);
        EXPECT_EQ(u32At(image, 24), 22050u);
        EXPECT_EQ(u32At(image, 28), 22050u);
        EXPECT_EQ(u16At(image, 32), 1u);
        EXPECT_EQ(u16At(image, 34), 8u);
        EXPECT_EQ(idAt(image, 36), "data");
        EXPECT_EQ(u32At(image, 40), 1001u);
        EXPECT_EQ(made.sampleArea().size(), 1001u);
    }

    TEST(WaveImage, StatesByteRateAndBlockAlignOfItsOwnFormat)
    {
        // The format chunk's byte rate (offset 28) and block align (offset 32) as files state
        // them, honest or not; the image's header describes its own samples either way.
        const struct {
            Format format;
            std::uint32_t statedByteRate;
            std::uint32_t statedBlockAlign;
        } cases[] = {
            { { 1, 2, 44100, 16 }, 44100 * 4, 4 },
            { { 1, 1, 22050, 8 }, 22050, 1 },
            { { 1, 2, 44100, 16 }, 0, 0 },
            { { 1, 2, 44100, 16 }, 7, 7 },
            { { 1, 1, 8000, 8 }, 65535, 65535 },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.statedByteRate << " / " << c.statedBlockAlign);
            Bytes file = canonicalWave(c.format, samplePattern(64));
            const Bytes honest = file;
            for (int i = 0; i < 4; ++i) {
                file[std::size_t(28 + i)] = std::uint8_t(c.statedByteRate >> (8 * i));
            }
            file[32] = std::uint8_t(c.statedBlockAlign);
            file[33] = std::uint8_t(c.statedBlockAlign >> 8);
            const WaveImage made = imageOf(parsed(file));
            const auto image = made.bytes();
            EXPECT_TRUE(std::equal(image.begin(), image.begin() + 44, honest.begin()));
        }
    }

    TEST(FileInfo, TextsOfTheInformationBox)
    {
        const FileInfoTexts stereo = fileInfoTexts({ 2, 44100, 0, 0, 16 }, 250'000);
        EXPECT_EQ(stereo.rate, "44100 Hz");
        EXPECT_EQ(stereo.channels, "Stereo");
        EXPECT_EQ(stereo.bits, "16 Bit/Sample");
        EXPECT_EQ(stereo.samples, "250000 Samples");

        const FileInfoTexts mono = fileInfoTexts({ 1, 8000, 0, 0, 8 }, 0);
        EXPECT_EQ(mono.rate, "8000 Hz");
        EXPECT_EQ(mono.channels, "Mono");
        EXPECT_EQ(mono.bits, "8 Bit/Sample");
        EXPECT_EQ(mono.samples, "0 Samples");
        EXPECT_EQ(fileInfoTexts({ 3, 8000, 0, 0, 8 }, 8).channels, "Stereo");
    }

} // namespace
} // namespace tt
