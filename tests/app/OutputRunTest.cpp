// The core's one pass over a stream in pieces must give exactly what the whole-file pass gives in
// memory, for every output at once and for frames that pieces split (three channels, a stray
// byte behind the last frame); and a run that fails must leave every existing file as it was.

#include "app/OutputRun.h"

#include "app/LiveOneBitSound.h"
#include "app/PlayConversion.h"
#include "export/FileSizeLimit.h"
#include "export/PlayerSourceExport.h"
#include "export/StringSink.h"
#include "modulator/AudibleSnr.h"
#include "wave/LoadedWaveStream.h"
#include "wave/TestHeader.h"
#include "wave/WaveBytes.h"
#include "wave/WaveImage.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

namespace tt {
namespace {

    namespace fs = std::filesystem;

    LoadedWave noise(int bitsPerSample, int channelCount, std::int64_t frames, int strayBytes)
    {
        LoadedWave wave;
        wave.header = testing::headerOf(bitsPerSample, channelCount);
        wave.data.sizeBytes = std::uint64_t(frames * wave.header.bytesPerFrame() + strayBytes);
        const std::shared_ptr<SampleBytes> block = newSampleBytes(std::size_t(wave.data.sizeBytes));
        std::mt19937 random(7);
        std::ranges::generate(*block, [&] { return std::uint8_t(random()); });
        wave.data.block = block;
        return wave;
    }

    TEST(OutputRun, EveryOutputEqualsTheWholeFilePassInMemory)
    {
        ASSERT_EQ(findExportFormat(playerSourceFormat().name), &playerSourceFormat());
        EXPECT_EQ(findExportFormat("no such format"), nullptr);
        testing::TempFiles files;
        const fs::path text = files.dir() / "out.txt";
        const fs::path wav = files.dir() / "out.wav";
        for (const LoadedWave& sound :
            { noise(8, 1, 40001, 0), noise(16, 3, 30000, 0), noise(16, 2, 50000, 3) }) {
            for (const ModulatorSettings& settings : { ModulatorSettings {},
                     ModulatorSettings { 121, 3320, 208, ModulatorKind::LookAhead } }) {
                SCOPED_TRACE(std::to_string(sound.header.bitsPerSample) + "-bit, "
                    + std::to_string(sound.header.channelCount) + " channels, "
                    + std::string(modulatorName(settings.modulator)));
                WaveImage document;
                ASSERT_TRUE(document.prepare(sound.header, sound.data.sizeBytes));
                testing::StringSink expected;
                ConversionResult expectedResult;
                ASSERT_EQ(exportPlayerSource(expected, sound.header, sound.data.bytes(), settings,
                              document.sampleArea(), expectedResult),
                    ExportStatus::Written);
                const auto image = document.bytes();
                const double audibleDb = audibleSnrDb(
                    sound.header, sound.data.bytes(), settings, document.sampleArea());

                LoadedWaveStream input(sound);
                std::vector<int> percents;
                const RunOutcome both = OutputRun(
                    { &playerSourceFormat(), text.string(), nullptr, wav.string(), true,
                        {} }).run(input, settings, [&](int percent) {
                    percents.push_back(percent);
                });
                ASSERT_EQ(both.failure, RunFailure::None);
                EXPECT_EQ(testing::fileText(text), expected.text);
                EXPECT_TRUE(std::ranges::equal(testing::fileText(wav), image,
                    [](char a, std::uint8_t b) { return std::uint8_t(a) == b; }));
                EXPECT_EQ(both.result.frameCount, expectedResult.frameCount);
                EXPECT_EQ(both.result.errorSum, expectedResult.errorSum);
                EXPECT_EQ(both.result.audibleSnrDb, audibleDb);
                // A progress bar moves in steps of about a percent, up to the end.
                EXPECT_GE(percents.size(), 100u);
                EXPECT_TRUE(std::ranges::is_sorted(percents));
                EXPECT_EQ(percents.back(), 100);

                testing::StringSink sink;
                const RunOutcome toSink = OutputRun(
                    { &playerSourceFormat(), "", &sink, "", false,
                        {} }).run(input, settings);
                EXPECT_EQ(toSink.failure, RunFailure::None);
                EXPECT_EQ(sink.text, expected.text);

                // Play 1Bit's sound, made as it plays, is the image to the byte (a stray byte
                // behind the last frame is no frame), and its figures are the pass's.
                const auto frameBytes = std::size_t(sound.header.bytesPerFrame());
                LiveOneBitSound played(
                    sound.header, sound.data.block, sound.data.bytes(), settings, 8);
                std::vector<std::uint8_t> heard(std::size_t(played.sizeBytes()));
                ASSERT_TRUE(played.readAt(0, heard));
                EXPECT_TRUE(std::ranges::equal(heard,
                    document.sampleArea().first(
                        document.sampleArea().size() / frameBytes * frameBytes)));
                const ConversionResult figures = playFigures(sound, {}, settings);
                EXPECT_EQ(figures.errorSum, expectedResult.errorSum);
                EXPECT_EQ(figures.audibleSnrDb, audibleDb);
            }
        }
    }

    // A stream whose data stops being readable after its first piece, as a file cut meanwhile.
    class CutStream final : public SampleStream {
    public:
        explicit CutStream(const LoadedWave& wave)
            : whole_(wave)
        {
        }
        const WaveHeader& header() const override { return whole_.header(); }
        std::uint64_t sizeBytes() const override { return whole_.sizeBytes(); }
        bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) override
        {
            return offsetBytes == 0 && whole_.readAt(offsetBytes, out);
        }

    private:
        LoadedWaveStream whole_;
    };

    TEST(OutputRun, AFailedRunReplacesNoFile)
    {
        struct Case {
            const char* name;
            const char* exportName; // in the folder; empty: no export
            const char* wavName; // the same for the WAV file
            bool sizeLimited; // writes fail part-way, as on a full disk
            bool inputCut;
            RunFailure failure;
        };
        const Case cases[] = {
            { "export folder missing", "missing/out.txt", "out.wav", false, false,
                RunFailure::ExportNotCreated },
            { "WAV folder missing", "out.txt", "missing/out.wav", false, false,
                RunFailure::WavNotCreated },
            { "export cut short", "out.txt", "", true, false, RunFailure::ExportNotWritten },
            { "WAV cut short", "", "out.wav", true, false, RunFailure::WavNotWritten },
            { "input cut short", "out.txt", "out.wav", false, true, RunFailure::InputUnreadable },
        };
        const LoadedWave sound = noise(16, 1, 300000, 0);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            testing::TempFiles files;
            for (const char* name : { "out.txt", "out.wav" }) {
                std::ofstream(files.dir() / name) << "old text";
            }
            const auto pathOf
                = [&](const char* name) { return *name ? (files.dir() / name).string() : ""; };
            OutputRequest request { *c.exportName ? &playerSourceFormat() : nullptr,
                pathOf(c.exportName), nullptr, pathOf(c.wavName), false, {} };
            CutStream cut(sound);
            LoadedWaveStream whole(sound);
            RunOutcome outcome;
            {
                const testing::FileSizeLimit limit(c.sizeLimited ? 4096 : RLIM_INFINITY);
                outcome = OutputRun(request).run(
                    c.inputCut ? static_cast<SampleStream&>(cut) : whole, ModulatorSettings {});
            }
            EXPECT_EQ(outcome.failure, c.failure);
            EXPECT_FALSE(outcome.exportReplaced);
            for (const char* name : { "out.txt", "out.wav" }) {
                EXPECT_EQ(testing::fileText(files.dir() / name), "old text") << name;
            }
            EXPECT_EQ(testing::entryCount(files.dir()), 2u) << "a temporary file was left";
            if (c.failure == RunFailure::ExportNotCreated
                || c.failure == RunFailure::WavNotCreated) {
                EXPECT_EQ(outcome.result.frameCount, 0) << "converted although nothing was created";
            }
        }
    }

} // namespace
} // namespace tt
