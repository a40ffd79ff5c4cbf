#include "wave/WaveLoader.h"

#include "wave/MemoryByteSource.h"
#include "wave/WaveBytes.h"
#include "wave/WaveParser.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace tt {
namespace {

    using namespace tt::testing;

    std::vector<std::uint8_t> dataBytes(const LoadedWave& wave)
    {
        const auto bytes = wave.data.bytes();
        return { bytes.begin(), bytes.end() };
    }

    LoadStatus parseBytes(const Bytes& file, LoadedWave& out)
    {
        MemoryByteSource source(file);
        return parseWave(source, out);
    }

    TEST(WaveLoader, LoadsCanonicalFile)
    {
        TempFiles files;
        const Bytes samples = samplePattern(1000);
        const std::string path = files.write("a.wav", canonicalWave({ 1, 2, 22050, 16 }, samples));

        LoadedWave wave;
        ASSERT_EQ(loadWaveFile(path, wave), LoadStatus::Loaded);
        EXPECT_EQ(wave.header.channelCount, 2);
        EXPECT_EQ(wave.header.sampleRateHz, 22050u);
        EXPECT_EQ(wave.header.byteRate, 22050u * 4);
        EXPECT_EQ(wave.header.blockAlign, 4);
        EXPECT_EQ(wave.header.bitsPerSample, 16);
        EXPECT_EQ(wave.data.sizeBytes, 1000u);
        EXPECT_TRUE(wave.data.isLoaded());
        EXPECT_EQ(dataBytes(wave), samples);
    }

    TEST(WaveLoader, FindsFormatAndDataPastOtherChunks)
    {
        const Bytes samples = samplePattern(64);
        const Bytes list(37, 'L');
        Bytes odd;
        putChunk(odd, "fmt ", formatBody({ 1, 1, 8000, 8 }));
        putChunk(odd, "LIST", list);
        odd.push_back(0); // pad byte behind the 37-byte LIST body
        putChunk(odd, "data", samples);

        Bytes leading; // a chunk before the format chunk, which then lies away from offset 12
        putChunk(leading, "JUNK", Bytes(4, 0));
        putChunk(leading, "fmt ", formatBody({ 1, 1, 8000, 8 }));
        putChunk(leading, "LIST", Bytes(6, 'x'));
        putChunk(leading, "data", samples);

        Bytes unpadded; // the writer left out the pad byte behind the odd-sized LIST body
        putChunk(unpadded, "fmt ", formatBody({ 1, 1, 8000, 8 }));
        putChunk(unpadded, "LIST", list);
        putChunk(unpadded, "data", samples);

        for (const Bytes& chunks : { odd, leading, unpadded }) {
            LoadedWave wave;
            ASSERT_EQ(parseBytes(riff(chunks), wave), LoadStatus::Loaded);
            EXPECT_EQ(wave.header.bitsPerSample, 8);
            EXPECT_EQ(wave.header.channelCount, 1);
            EXPECT_EQ(dataBytes(wave), samples);
        }
    }

    TEST(WaveLoader, AcceptsLongerFormatChunksAndExtensiblePcm)
    {
        const Bytes samples = samplePattern(40);
        for (const int formatBytes : { 18, 40 }) {
            Bytes chunks;
            putChunk(chunks, "fmt ", formatBody({ 1, 2, 48000, 16 }, formatBytes));
            putChunk(chunks, "data", samples);
            LoadedWave wave;
            ASSERT_EQ(parseBytes(riff(chunks), wave), LoadStatus::Loaded) << formatBytes;
            EXPECT_EQ(wave.header.sampleRateHz, 48000u);
            EXPECT_EQ(wave.header.channelCount, 2);
            EXPECT_EQ(dataBytes(wave), samples);
        }
    }

    TEST(WaveLoader, AcceptsIdsInAnyLetterCase)
    {
        Bytes chunks;
        putChunk(chunks, "fmt ", formatBody({}));
        putChunk(chunks, "data", samplePattern(8));
        LoadedWave wave;
        EXPECT_EQ(parseBytes(riff(chunks, "riff", "wave"), wave), LoadStatus::Loaded);
        EXPECT_EQ(parseBytes(riff(chunks, "RiFf", "WaVe"), wave), LoadStatus::Loaded);
    }

    TEST(WaveLoader, DataDeclaringMoreThanPresentTakesTheBytesPresent)
    {
        const Bytes samples = samplePattern(600);
        for (const std::uint32_t declared : { 1000u, 0xFFFFFFFFu, 0u }) {
            Bytes chunks;
            putChunk(chunks, "fmt ", formatBody({}));
            putChunk(chunks, "data", declared, samples);
            LoadedWave wave;
            ASSERT_EQ(parseBytes(riff(chunks), wave), LoadStatus::Loaded) << declared;
            EXPECT_EQ(wave.data.sizeBytes, 600u);
            EXPECT_EQ(dataBytes(wave), samples);
        }
    }

    TEST(WaveLoader, DataDeclaringLessStopsAtItsEnd)
    {
        Bytes chunks;
        putChunk(chunks, "fmt ", formatBody({}));
        putChunk(chunks, "data", samplePattern(100));
        putChunk(chunks, "LIST", Bytes(50, 'z'));
        LoadedWave wave;
        ASSERT_EQ(parseBytes(riff(chunks), wave), LoadStatus::Loaded);
        EXPECT_EQ(dataBytes(wave), samplePattern(100));
    }

    struct Refusal {
        const char* name;
        Bytes file;
    };

    std::vector<Refusal> refusals()
    {
        const Bytes samples = samplePattern(32);
        const auto withFormat = [&](const Bytes& format) {
            Bytes chunks;
            putChunk(chunks, "fmt ", format);
            putChunk(chunks, "data", samples);
            return riff(chunks);
        };
        std::vector<Refusal> list;
        const std::string text = "This is a text file, not a sound.\n";
        list.push_back({ "text", Bytes(text.begin(), text.end()) });
        list.push_back({ "empty", {} });
        list.push_back({ "RIFF without WAVE", canonicalWave({}, samples) });
        list.back().file[8] = 'A';
        list.push_back({ "A-law", withFormat(formatBody({ 6, 1, 8000, 8 })) });
        list.push_back({ "mu-law", withFormat(formatBody({ 7, 1, 8000, 8 })) });
        list.push_back({ "ADPCM", withFormat(formatBody({ 2, 1, 8000, 4 })) });
        list.push_back({ "float", withFormat(formatBody({ 3, 2, 44100, 32 })) });
        list.push_back({ "extensible float", withFormat(formatBody({ 1, 2, 44100, 32 }, 40, 3)) });
        list.push_back({ "extensible 16-bit float subformat",
            withFormat(formatBody({ 1, 2, 44100, 16 }, 40, 3)) });
        list.push_back({ "24-bit", withFormat(formatBody({ 1, 2, 44100, 24 })) });
        list.push_back({ "32-bit", withFormat(formatBody({ 1, 2, 44100, 32 })) });
        list.push_back({ "0 channels", withFormat(formatBody({ 1, 0, 44100, 16 })) });
        list.push_back({ "rate 0", withFormat(formatBody({ 1, 2, 0, 16 })) });
        list.push_back({ "rate above 2^31-1", withFormat(formatBody({ 1, 2, 0x80000000u, 16 })) });
        Bytes shortFormat = formatBody({});
        shortFormat.resize(14);
        list.push_back({ "format of 14 bytes", withFormat(shortFormat) });

        Bytes noData;
        putChunk(noData, "fmt ", formatBody({}));
        putChunk(noData, "LIST", samples);
        list.push_back({ "no data chunk", riff(noData) });

        Bytes dataFirst;
        putChunk(dataFirst, "data", samples);
        putChunk(dataFirst, "fmt ", formatBody({}));
        list.push_back({ "data before format", riff(dataFirst) });

        Bytes emptyData;
        putChunk(emptyData, "fmt ", formatBody({}));
        putChunk(emptyData, "data", {});
        list.push_back({ "empty data", riff(emptyData) });

        Bytes emptyDataBeforeAChunk; // size 0 means "to the end" only when no chunk follows
        putChunk(emptyDataBeforeAChunk, "fmt ", formatBody({}));
        putChunk(emptyDataBeforeAChunk, "data", {});
        putChunk(emptyDataBeforeAChunk, "LIST", samples);
        list.push_back({ "data of size 0 followed by a chunk", riff(emptyDataBeforeAChunk) });

        Bytes oversizedChunk; // a chunk claiming more than the file holds hides the data chunk
        putChunk(oversizedChunk, "fmt ", formatBody({}));
        putChunk(oversizedChunk, "LIST", 0xFFFFFFF0u, Bytes(4, 0));
        putChunk(oversizedChunk, "data", samples);
        list.push_back({ "chunk larger than the file", riff(oversizedChunk) });

        Bytes upperData; // chunk ids other than RIFF and WAVE are case-sensitive
        putChunk(upperData, "fmt ", formatBody({}));
        putChunk(upperData, "DATA", samples);
        list.push_back({ "DATA", riff(upperData) });
        return list;
    }

    TEST(WaveLoader, RefusesEverythingElseAndLeavesTheEarlierFileInForce)
    {
        TempFiles files;
        const Bytes earlierSamples = samplePattern(80);
        LoadedWave wave;
        ASSERT_EQ(loadWaveFile(
                      files.write("earlier.wav", canonicalWave({ 1, 1, 11025, 8 }, earlierSamples)),
                      wave),
            LoadStatus::Loaded);
        const auto earlierBlock = wave.data.block;

        int index = 0;
        for (const Refusal& refusal : refusals()) {
            const std::string path = files.write(std::to_string(index++) + ".wav", refusal.file);
            EXPECT_EQ(loadWaveFile(path, wave), LoadStatus::NotSupported) << refusal.name;
            EXPECT_EQ(wave.header.sampleRateHz, 11025u) << refusal.name;
            EXPECT_EQ(wave.header.bitsPerSample, 8) << refusal.name;
            EXPECT_EQ(wave.header.channelCount, 1) << refusal.name;
            EXPECT_EQ(wave.data.block, earlierBlock) << refusal.name;
            EXPECT_EQ(wave.data.sizeBytes, 80u) << refusal.name;
        }
        EXPECT_EQ(dataBytes(wave), earlierSamples);
    }

    TEST(WaveLoader, MissingFilesAndFoldersAreUnreadable)
    {
        TempFiles files;
        LoadedWave wave;
        EXPECT_EQ(
            loadWaveFile((files.dir() / "missing.wav").string(), wave), LoadStatus::Unreadable);
        EXPECT_EQ(loadWaveFile(files.dir().string(), wave), LoadStatus::Unreadable);
        EXPECT_FALSE(wave.data.isLoaded());
    }

    // A file of a few gigabytes that exists only as its header: the rest reads as zeros.
    class HugeFileSource final : public ByteSource {
    public:
        explicit HugeFileSource(std::uint64_t dataBytes)
            : header_(canonicalWave({ 1, 2, 44100, 16 }, {}))
            , sizeBytes_(header_.size() + dataBytes)
        {
        }
        std::uint64_t sizeBytes() const override { return sizeBytes_; }
        bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) override
        {
            for (std::size_t i = 0; i < out.size(); ++i) {
                const std::uint64_t at = offset + i;
                out[i] = at < header_.size() ? header_[std::size_t(at)] : 0;
            }
            return true;
        }

    private:
        Bytes header_;
        std::uint64_t sizeBytes_;
    };

    TEST(WaveLoaderDeathTest, SamplesBeyondTheMemoryAtHandAreOutOfMemoryNotUnreadable)
    {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit in a capped address space";
#endif
        // In a child process whose address space is capped, so the test process is unharmed.
        const auto loadWithCappedMemory = [] {
            const rlimit cap { 512u << 20, 512u << 20 };
            ::setrlimit(RLIMIT_AS, &cap);
            HugeFileSource source(std::uint64_t(3) << 30);
            LoadedWave wave;
            const LoadStatus status = parseWave(source, wave);
            std::_Exit(status == LoadStatus::OutOfMemory && !wave.data.isLoaded() ? 0 : 1);
        };
        EXPECT_EXIT(loadWithCappedMemory(), ::testing::ExitedWithCode(0), "");
    }

    TEST(WaveLoader, MemoryAndFileGiveTheSameResult)
    {
        TempFiles files;
        Bytes chunks;
        putChunk(chunks, "fmt ", formatBody({ 1, 3, 32000, 16 }, 18));
        putChunk(chunks, "INFO", Bytes(3, 'i'));
        chunks.push_back(0);
        putChunk(chunks, "data", 0xFFFFFFFFu, samplePattern(301));
        const Bytes file = riff(chunks);

        LoadedWave fromFile;
        LoadedWave fromMemory;
        ASSERT_EQ(loadWaveFile(files.write("m.wav", file), fromFile), LoadStatus::Loaded);
        ASSERT_EQ(parseBytes(file, fromMemory), LoadStatus::Loaded);
        EXPECT_EQ(fromFile.header.channelCount, 3);
        EXPECT_EQ(fromMemory.header.channelCount, 3);
        EXPECT_EQ(dataBytes(fromFile), samplePattern(301));
        EXPECT_EQ(dataBytes(fromMemory), samplePattern(301));
    }

} // namespace
} // namespace tt
