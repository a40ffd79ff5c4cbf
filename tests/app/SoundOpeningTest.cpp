// A sound held whole knows whether a file still gives exactly it, so that opening that file
// again need not hold a second copy.

#include "app/SoundOpening.h"

#include "wave/WaveBytes.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace tt {
namespace {

    using testing::Bytes;
    using testing::canonicalWave;
    using testing::Format;
    using testing::samplePattern;

    TEST(FileSound, KnowsWhetherAFileStillGivesExactlyItsSound)
    {
        testing::TempFiles files;
        const Bytes samples = samplePattern(3 * SampleStream::pieceTargetBytes / 2 + 8);
        const std::string held = files.write("held.wav", canonicalWave(Format {}, samples));
        const std::string flac = std::string(TICKTRACE_DECODE_FIXTURES) + "/flac-24bit.flac";

        Bytes lastByteChanged = samples;
        lastByteChanged.back() ^= 1u;
        Bytes oneFrameMore = samples;
        oneFrameMore.insert(oneFrameMore.end(), { 1, 2, 3, 4 });
        const struct {
            std::string name;
            std::string loaded; // the file the sound was loaded from
            std::string opened; // then opened again
            bool same;
        } cases[] = {
            { "the file itself", held, held, true },
            { "a copy elsewhere", held, files.write("copy.wav", canonicalWave({}, samples)), true },
            { "its last byte changed (the second piece)", held,
                files.write("changed.wav", canonicalWave({}, lastByteChanged)), false },
            { "one frame more", held, files.write("longer.wav", canonicalWave({}, oneFrameMore)),
                false },
            { "another rate stated", held,
                files.write("rate.wav", canonicalWave(Format { 1, 2, 22050, 16 }, samples)),
                false },
            { "gone", held, (files.dir() / "missing.wav").string(), false },
            { "a decoded file, itself", flac, flac, true },
            { "a decoded file against a WAV file", flac, held, false },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            FileSound sound;
            ASSERT_EQ(sound.load(c.loaded), LoadStatus::Loaded);
            EXPECT_EQ(sound.isWhatTheFileGives(c.opened), c.same);
        }
        EXPECT_FALSE(FileSound().isWhatTheFileGives(held)); // nothing held
    }

} // namespace
} // namespace tt
