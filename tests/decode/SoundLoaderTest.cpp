// Files other programs wrote, decoded as those programs decode them, and WAV files read as they
// lie: the window's whole-file load and the command line's stream give the same bytes.

#include "decode/SoundLoader.h"

#include "wave/WaveBytes.h"
#include "wave/WaveLoader.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace tt {
namespace {

    using testing::Bytes;

    std::string fixture(const std::string& directory, const std::string& name)
    {
        return directory + "/" + name;
    }

    // The whole stream, read in pieces of pieceBytes and then, from the start again, read once
    // more: a stream that makes its bytes as it goes must give the same ones a second time.
    Bytes readInPieces(SampleStream& stream, std::size_t pieceBytes)
    {
        Bytes all(std::size_t(stream.sizeBytes()));
        for (std::size_t at = 0; at < all.size(); at += pieceBytes) {
            const std::size_t count = std::min(pieceBytes, all.size() - at);
            EXPECT_TRUE(stream.readAt(at, { all.data() + at, count })) << at;
        }
        Bytes again(all.size());
        EXPECT_TRUE(stream.readAt(0, again));
        EXPECT_TRUE(again == all) << "a second reading differs";
        Bytes beyond(2);
        EXPECT_FALSE(stream.readAt(stream.sizeBytes() - 1, beyond));
        return all;
    }

    std::int16_t sampleAt(std::span<const std::uint8_t> bytes, std::size_t index)
    {
        return std::int16_t(std::uint16_t(bytes[2 * index] | (bytes[2 * index + 1] << 8)));
    }

    TEST(SoundLoader, DecodesOtherFormatsAsTheirWritersDoWithinOneStep)
    {
        struct Case {
            const char* file;
            int channelCount;
            std::uint32_t sampleRateHz;
            const char* originalFormat;
        };
        const Case cases[] = {
            { "flac-24bit.flac", 2, 48000, "FLAC, 24-bit, 48000 Hz, stereo" },
            // WAVE_FORMAT_EXTENSIBLE with 24-bit samples.
            { "wav-24bit.wav", 2, 22050, "WAV, 24-bit, 22050 Hz, stereo" },
            { "wav-float.wav", 1, 16000, "WAV, 32-bit float, 16000 Hz, mono" },
            { "wav-alaw.wav", 1, 8000, "WAV, A-law, 8000 Hz, mono" },
            { "ogg-vorbis.ogg", 1, 22050, "Ogg Vorbis, 22050 Hz, mono" },
            { "mp3-mono.mp3", 1, 22050, "MP3, 22050 Hz, mono" },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.file);
            const std::string path = fixture(TICKTRACE_DECODE_FIXTURES, c.file);
            LoadedSound sound;
            ASSERT_EQ(loadSoundFile(path, sound), LoadStatus::Loaded);
            const WaveHeader& header = sound.wave.header;
            EXPECT_EQ(header.bitsPerSample, 16);
            EXPECT_EQ(header.channelCount, c.channelCount);
            EXPECT_EQ(header.sampleRateHz, c.sampleRateHz);
            EXPECT_EQ(header.blockAlign, 2 * c.channelCount);
            EXPECT_EQ(sound.originalFormat, c.originalFormat);

            const std::string expectedText = testing::fileText(path + ".s16");
            const Bytes expected(expectedText.begin(), expectedText.end());
            const std::span<const std::uint8_t> loaded = sound.wave.data.bytes();
            ASSERT_EQ(loaded.size(), expected.size());
            int largestStep = 0;
            for (std::size_t i = 0; i < expected.size() / 2; ++i) {
                largestStep
                    = std::max(largestStep, std::abs(sampleAt(loaded, i) - sampleAt(expected, i)));
            }
            EXPECT_LE(largestStep, 1);

            std::unique_ptr<SampleStream> stream;
            std::string originalFormat;
            ASSERT_EQ(openSoundStream(path, stream, originalFormat), LoadStatus::Loaded);
            EXPECT_EQ(originalFormat, c.originalFormat);
            EXPECT_EQ(stream->header().sampleRateHz, c.sampleRateHz);
            ASSERT_EQ(stream->sizeBytes(), loaded.size());
            const Bytes streamed = readInPieces(*stream, 2 * 1000 * std::size_t(c.channelCount));
            EXPECT_TRUE(std::equal(streamed.begin(), streamed.end(), loaded.begin(), loaded.end()));
        }
    }

    TEST(SoundLoader, PcmWavIsReadAsItLiesAndWhatNeitherReadsIsRefused)
    {
        testing::TempFiles files;
        const struct {
            std::string path;
            LoadStatus status;
        } cases[] = {
            { fixture(TICKTRACE_WAVE_FIXTURES, "sox-8bit-mono.wav"), LoadStatus::Loaded },
            { fixture(TICKTRACE_WAVE_FIXTURES, "sox-16bit-stereo.wav"), LoadStatus::Loaded },
            { fixture(TICKTRACE_WAVE_FIXTURES, "ffmpeg-streamed-8bit.wav"), LoadStatus::Loaded },
            { files.write("notes.wav", Bytes { 'h', 'e', 'l', 'l', 'o' }),
                LoadStatus::NotSupported },
            { files.write(
                  "unknown.wav", testing::canonicalWave({ 0x7A7A, 1, 8000, 16 }, Bytes(64))),
                LoadStatus::NotSupported },
            // The decoder takes 24 bits, but a file of no frames is refused as an empty data
            // chunk is.
            { files.write("empty24.wav", testing::canonicalWave({ 1, 2, 8000, 24 }, {})),
                LoadStatus::NotSupported },
            { (files.dir() / "missing.wav").string(), LoadStatus::Unreadable },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.path);
            LoadedSound sound;
            sound.originalFormat = "untouched";
            ASSERT_EQ(loadSoundFile(c.path, sound), c.status);
            std::unique_ptr<SampleStream> stream;
            std::string originalFormat = "untouched";
            EXPECT_EQ(openSoundStream(c.path, stream, originalFormat), c.status);
            if (c.status != LoadStatus::Loaded) {
                EXPECT_EQ(sound.originalFormat, "untouched");
                EXPECT_EQ(originalFormat, "untouched");
                EXPECT_EQ(stream, nullptr);
                continue;
            }
            LoadedWave native;
            ASSERT_EQ(loadWaveFile(c.path, native), LoadStatus::Loaded);
            EXPECT_EQ(sound.originalFormat, "");
            EXPECT_EQ(originalFormat, "");
            EXPECT_EQ(sound.wave.header.bitsPerSample, native.header.bitsPerSample);
            EXPECT_EQ(sound.wave.header.sampleRateHz, native.header.sampleRateHz);
            EXPECT_TRUE(std::ranges::equal(sound.wave.data.bytes(), native.data.bytes()));
            const Bytes streamed = readInPieces(*stream, 999);
            EXPECT_TRUE(std::ranges::equal(streamed, native.data.bytes()));
        }
    }

} // namespace
} // namespace tt
