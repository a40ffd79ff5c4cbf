#include "wave/WaveDataStream.h"

#include "wave/WaveBytes.h"
#include "wave/WaveLoader.h"

#include <gtest/gtest.h>

namespace tt {
namespace {

    using namespace tt::testing;

    TEST(WaveDataStream, TakesAndRefusesWhatTheLoaderDoesAndReadsTheSameBytes)
    {
        Bytes padded;
        putChunk(padded, "fmt ", formatBody({ 1, 3, 32000, 16 }, 18));
        putChunk(padded, "INFO", Bytes(3, 'i'));
        padded.push_back(0);
        putChunk(padded, "data", 0xFFFFFFFFu, samplePattern(3001)); // declares more than present
        Bytes streamed; // a streaming writer's data size of 0: the samples run to the end
        putChunk(streamed, "fmt ", formatBody({ 1, 1, 8000, 8 }));
        putChunk(streamed, "data", 0, samplePattern(777));
        Bytes dataFirst;
        putChunk(dataFirst, "data", samplePattern(16));
        putChunk(dataFirst, "fmt ", formatBody({ 1, 1, 8000, 8 }));
        const Bytes files[] = {
            canonicalWave({ 1, 2, 22050, 16 }, samplePattern(4000)),
            riff(padded),
            riff(streamed),
            riff(dataFirst),
            canonicalWave({ 1, 2, 44100, 24 }, samplePattern(600)),
            { 'h', 'e', 'l', 'l', 'o' },
        };
        TempFiles temp;
        for (std::size_t i = 0; i <= std::size(files); ++i) {
            SCOPED_TRACE(i);
            const std::string path = i < std::size(files)
                ? temp.write(std::to_string(i) + ".wav", files[i])
                : (temp.dir() / "missing.wav").string();
            LoadedWave loaded;
            WaveDataStream stream;
            const LoadStatus status = loadWaveFile(path, loaded);
            ASSERT_EQ(stream.open(path), status);
            if (status != LoadStatus::Loaded) {
                continue;
            }
            EXPECT_EQ(stream.header().channelCount, loaded.header.channelCount);
            EXPECT_EQ(stream.header().bitsPerSample, loaded.header.bitsPerSample);
            EXPECT_EQ(stream.header().sampleRateHz, loaded.header.sampleRateHz);
            ASSERT_EQ(stream.sizeBytes(), loaded.data.sizeBytes);
            // In pieces of 1000 bytes, the last one short.
            Bytes read;
            for (std::uint64_t at = 0; at < stream.sizeBytes(); at += 1000) {
                Bytes piece(std::size_t(std::min<std::uint64_t>(1000, stream.sizeBytes() - at)));
                ASSERT_TRUE(stream.readAt(at, piece));
                read.insert(read.end(), piece.begin(), piece.end());
            }
            EXPECT_TRUE(std::equal(
                read.begin(), read.end(), loaded.data.bytes().begin(), loaded.data.bytes().end()));
            Bytes beyond(2);
            EXPECT_FALSE(stream.readAt(stream.sizeBytes() - 1, beyond));
        }
    }

} // namespace
} // namespace tt
