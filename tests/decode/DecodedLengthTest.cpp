// A decoded sound is as long as what decodes, whatever its header claims: cut, extended,
// empty and damaged files in every container the decoder library writes.

#include "decode/EncodedSound.h"
#include "decode/SoundLoader.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace tt {
namespace {

    using testing::Bytes;

    constexpr std::int64_t writtenFrames = 48000;
    constexpr std::size_t garbageBytes = 30000;

    enum class Change { None, CutInHalf, CutNearEnd, Garbage, Damaged, NoFrames };

    Bytes changed(const std::string& whole, Change change)
    {
        Bytes bytes(whole.begin(), whole.end());
        switch (change) {
        case Change::CutInHalf:
            bytes.resize(bytes.size() / 2);
            break;
        case Change::CutNearEnd:
            bytes.resize(bytes.size() * 9 / 10);
            break;
        case Change::Garbage:
            for (std::size_t i = 0; i < garbageBytes; ++i) {
                bytes.push_back(std::uint8_t((i * 7919) >> 3));
            }
            break;
        case Change::Damaged: // 4 KB of zeros 40 % into the file
            std::fill_n(bytes.begin() + std::ptrdiff_t(bytes.size() * 2 / 5), 4096, 0);
            break;
        case Change::None:
        case Change::NoFrames:
            break;
        }
        return bytes;
    }

    TEST(DecodedLength, IsWhatDecodesNeverWhatTheHeaderClaims)
    {
        struct Container {
            const char* name;
            int format;
        };
        const Container containers[] = {
            { "ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS },
            { "opus", SF_FORMAT_OGG | SF_FORMAT_OPUS },
            { "flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16 },
            { "aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16 },
            { "caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16 },
            { "w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16 },
            { "rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16 },
            { "mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III },
        };
        // What every change gives in some container; every other outcome is only bounded.
        struct Expected {
            const char* container;
            Change change;
            LoadStatus status;
            std::int64_t frames; // -1: not checked
            const char* notePrefix;
        };
        const Expected expectations[] = {
            { "flac", Change::CutInHalf, LoadStatus::Loaded, -1, "Damaged: decoding stopped" },
            { "flac", Change::Damaged, LoadStatus::Loaded, writtenFrames, "Damaged: " },
            { "mp3", Change::CutInHalf, LoadStatus::Loaded, -1, "Shorter than the file states: " },
            { "ogg", Change::Garbage, LoadStatus::Loaded, writtenFrames, "" },
            { "opus", Change::Garbage, LoadStatus::Loaded, writtenFrames, "" },
            { "flac", Change::Garbage, LoadStatus::Loaded, writtenFrames, "" },
        };
        const Change changes[] = { Change::None, Change::CutInHalf, Change::CutNearEnd,
            Change::Garbage, Change::Damaged, Change::NoFrames };
        testing::TempFiles files;
        for (const Container& container : containers) {
            const std::string whole = (files.dir() / "whole").string() + "." + container.name;
            if (!testing::writeEncodedSound(whole, container.format, writtenFrames)) {
                ASSERT_STRNE(container.name, "flac") << "FLAC is always written";
                continue; // a library built without this format
            }
            for (const Change change : changes) {
                SCOPED_TRACE(
                    std::string(container.name) + ", change " + std::to_string(int(change)));
                const std::string name = "changed." + std::string(container.name);
                std::string path = files.write(name, changed(testing::fileText(whole), change));
                if (change == Change::NoFrames) {
                    ASSERT_TRUE(testing::writeEncodedSound(path, container.format, 0));
                }
                std::unique_ptr<SampleStream> stream;
                std::string format;
                std::string note;
                const LoadStatus status = openSoundStream(path, stream, format, &note);
                const auto found = std::ranges::find_if(expectations, [&](const Expected& e) {
                    return e.container == std::string_view(container.name) && e.change == change;
                });
                const bool expected = found != std::end(expectations);
                if (change == Change::None) {
                    ASSERT_EQ(status, LoadStatus::Loaded);
                    EXPECT_EQ(stream->sizeBytes(), std::uint64_t(2 * writtenFrames));
                    EXPECT_EQ(note, "");
                } else if (change == Change::NoFrames) {
                    EXPECT_EQ(status, LoadStatus::NotSupported);
                } else if (expected) {
                    ASSERT_EQ(status, found->status);
                    EXPECT_TRUE(note.starts_with(found->notePrefix)) << note;
                    if (found->frames >= 0) {
                        EXPECT_EQ(stream->sizeBytes(), std::uint64_t(2 * found->frames));
                    }
                } else {
                    // Refused as no sound, never "can't read".
                    EXPECT_NE(status, LoadStatus::Unreadable);
                }
                if (status != LoadStatus::Loaded) {
                    continue;
                }
                // Never beyond what the bytes can hold: a PCM container may read appended
                // bytes as samples, no more.
                ASSERT_LE(stream->sizeBytes(), 2 * std::uint64_t(writtenFrames) + garbageBytes);
                ASSERT_GT(stream->sizeBytes(), 0u);
                // The window's whole load gives the same bytes and the same note.
                LoadedSound sound;
                ASSERT_EQ(loadSoundFile(path, sound), LoadStatus::Loaded);
                EXPECT_EQ(sound.decodeNote, note);
                Bytes streamed(std::size_t(stream->sizeBytes()));
                ASSERT_TRUE(stream->readAt(0, streamed));
                EXPECT_TRUE(std::ranges::equal(streamed, sound.wave.data.bytes()));
            }
        }
    }

} // namespace
} // namespace tt
