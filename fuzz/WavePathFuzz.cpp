// libFuzzer entry: the whole path a file takes, from arbitrary bytes to the player source text.
// The first five bytes choose the model settings (Value 1 up to 9000 included, Value 2, Volume);
// the rest is the file. Any crash, sanitizer report or broken promise below is a finding.

#include "FuzzInput.h"
#include "app/LiveOneBitSound.h"
#include "export/PlayerSourceBits.h"
#include "export/PlayerSourceExport.h"
#include "export/StringSink.h"
#include "modulator/PinModel.h"
#include "modulator/SegmentalSnr.h"
#include "wave/FrameCount.h"
#include "wave/LeadingChannels.h"
#include "wave/LevelRounding.h"
#include "wave/MemoryByteSource.h"
#include "wave/WaveDocument.h"
#include "wave/WaveImage.h"
#include "wave/WaveParser.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using tt::fuzzing::require;
using tt::fuzzing::settingsBytes;
using tt::fuzzing::settingsOf;

using tt::testing::bitsOfText;

using tt::testing::StringSink;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t sizeBytes)
{
    if (sizeBytes < settingsBytes) {
        return 0;
    }
    const tt::ModulatorSettings settings = settingsOf(bytes);
    tt::MemoryByteSource source({ bytes + settingsBytes, sizeBytes - settingsBytes });
    tt::LoadedWave wave;
    const tt::LoadStatus status = tt::parseWave(source, wave);
    // Memory never fails to read, and no input is large enough to exhaust it.
    require(status != tt::LoadStatus::Unreadable && status != tt::LoadStatus::OutOfMemory);
    if (status != tt::LoadStatus::Loaded) {
        require(!wave.data.isLoaded());
        return 0;
    }

    const auto data = wave.data.bytes();
    require(wave.data.isLoaded() && data.size() == wave.data.sizeBytes);
    require(data.size() <= sizeBytes);
    require(wave.header.bitsPerSample == 8 || wave.header.bitsPerSample == 16);
    require(wave.header.channelCount >= 1 && wave.header.sampleRateHz > 0);
    const std::int64_t frames = tt::frameCount(wave.header, wave.data.sizeBytes);
    require(frames >= 0 && frames * wave.header.bytesPerFrame() <= std::int64_t(data.size()));

    tt::WaveDocument document;
    document.accept(std::move(wave));
    tt::WaveImage oneBit;
    require(oneBit.prepare(document.header, document.data.sizeBytes));
    require(oneBit.bytes().size() == 44 + document.data.sizeBytes);
    require(std::memcmp(oneBit.bytes().data(), "RIFF", 4) == 0);

    // Export mode, twice: the same text, image and error each time.
    const tt::WaveHeader& header = document.header;
    StringSink text;
    tt::ConversionResult result;
    require(tt::exportPlayerSource(
                text, header, document.data.bytes(), settings, oneBit.sampleArea(), result)
        == tt::ExportStatus::Written);
    require(result.frameCount == frames);
    require(std::isfinite(result.errorSum) && result.errorSum >= 0.0);
    require(std::isfinite(
        tt::segmentalSnrDb(header, document.data.bytes(), settings, oneBit.sampleArea())));
    const auto firstImage = oneBit.sampleArea();
    const std::vector<std::uint8_t> image(firstImage.begin(), firstImage.end());
    StringSink again;
    tt::ConversionResult secondResult;
    tt::exportPlayerSource(
        again, header, document.data.bytes(), settings, oneBit.sampleArea(), secondResult);
    require(again.text == text.text && secondResult.errorSum == result.errorSum);
    require(std::equal(image.begin(), image.end(), oneBit.sampleArea().begin()));

    // What Play 1Bit plays, made as it plays in pieces of every size: the image's whole frames,
    // channels 1 and 2 of a sound with more than the server takes.
    tt::LiveOneBitSound played(header, document.data.block, document.data.bytes(), settings, 8);
    const int playedChannels = played.header().channelCount;
    require(playedChannels == (header.channelCount > 8 ? 2 : header.channelCount));
    const std::size_t playedFrameBytes = std::size_t(played.header().bytesPerFrame());
    std::vector<std::uint8_t> heard(std::size_t(played.sizeBytes()));
    for (std::size_t at = 0, piece = 1; at < heard.size(); piece = piece * 2 + 1) {
        const std::size_t bytes = std::min(piece * playedFrameBytes, heard.size() - at);
        require(played.readAt(at, { heard.data() + at, bytes }));
        at += bytes;
    }
    for (std::size_t f = 0; f < heard.size() / playedFrameBytes; ++f) {
        require(std::equal(heard.begin() + std::ptrdiff_t(f * playedFrameBytes),
            heard.begin() + std::ptrdiff_t((f + 1) * playedFrameBytes),
            image.begin() + std::ptrdiff_t(f * std::size_t(header.bytesPerFrame()))));
    }

    // One data word per 16 frames, and the words replay to the image.
    const std::vector<bool> bits = bitsOfText(text.text);
    require(std::int64_t(bits.size()) == frames / 16 * 16);
    tt::PinModel player(settings, header);
    const std::size_t frameBytes = std::size_t(header.bytesPerFrame());
    for (std::size_t f = 0; f < bits.size(); ++f) {
        player.drive(bits[f]);
        const std::int32_t level = tt::roundLevel(player.modelLevel);
        const std::uint8_t* sample = image.data() + f * frameBytes;
        if (header.bitsPerSample == 8) {
            require(std::clamp(level, -128, 127) == std::int32_t(sample[0]) - 128);
        } else {
            require(std::min(level, 32767)
                == std::int16_t(std::uint16_t(sample[0] | (sample[1] << 8))));
        }
    }

    // What the sound server gets for a sound with more channels than it takes.
    if (header.channelCount > 2) {
        const tt::SampleBytes kept
            = tt::leadingChannels(image, header.channelCount, header.bytesPerSample(), 2);
        const std::size_t wholeFrames = image.size() / frameBytes;
        require(kept.size() == wholeFrames * 2 * std::size_t(header.bytesPerSample()));
        for (std::size_t f = 0; f < wholeFrames; ++f) {
            require(std::memcmp(kept.data() + f * 2 * std::size_t(header.bytesPerSample()),
                        image.data() + f * frameBytes, 2 * std::size_t(header.bytesPerSample()))
                == 0);
        }
    }
    return 0;
}
