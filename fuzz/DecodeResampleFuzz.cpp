// libFuzzer entry: any bytes through the decoder library, then a resample to a rate the input
// chooses, then the conversion and the player source text. The first five bytes choose the
// model settings as in the WAV path's target, the next three the rate (0: the file's own); the
// rest is the file. Any crash, sanitizer report or broken promise below is a finding.

#include "FuzzInput.h"
#include "decode/SoundFile.h"
#include "decode/SoundLoader.h"
#include "export/PlayerSourceExport.h"
#include "export/StringSink.h"
#include "wave/WaveDocument.h"
#include "wave/WaveImage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr std::size_t rateBytes = 3;
// The resampled sound can be gigabytes long; the conversion takes its start, in several reads.
constexpr std::size_t convertedBytes = 1 << 18;

using tt::fuzzing::require;
using tt::fuzzing::settingsBytes;
using tt::fuzzing::settingsOf;

// The decoder library reads files by name, and the decoder opens them again to start over.
const std::string& inputPath()
{
    static const std::string path
        = "/tmp/ticktrace-decode-fuzz-" + std::to_string(::getpid()) + ".input";
    return path;
}

using tt::testing::StringSink;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A sanitizer's report from inside the libraries must reach the terminal.
    tt::SoundFile::showLibraryMessages(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t sizeBytes)
{
    if (sizeBytes < settingsBytes + rateBytes) {
        return 0;
    }
    const tt::ModulatorSettings settings = settingsOf(bytes);
    const std::uint32_t rateChoice
        = bytes[settingsBytes] | (bytes[settingsBytes + 1] << 8) | (bytes[settingsBytes + 2] << 16);
    const std::uint32_t rateHz = rateChoice % 384001;
    {
        std::ofstream file(inputPath(), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes + settingsBytes + rateBytes),
            std::streamsize(sizeBytes - settingsBytes - rateBytes));
        require(file.good());
    }

    std::unique_ptr<tt::SampleStream> stream;
    std::string originalFormat;
    std::string note;
    const tt::LoadStatus status = tt::openSoundStream(inputPath(), stream, originalFormat, &note);
    // The file exists and is small: it is a sound or it is not one.
    require(status == tt::LoadStatus::Loaded || status == tt::LoadStatus::NotSupported);
    if (status != tt::LoadStatus::Loaded) {
        require(stream == nullptr);
        return 0;
    }
    const tt::WaveHeader header = stream->header();
    require(header.bitsPerSample == 8 || header.bitsPerSample == 16);
    require(header.channelCount >= 1 && header.sampleRateHz > 0);
    require(stream->sizeBytes() > 0
        && stream->sizeBytes() % std::uint64_t(header.bytesPerFrame()) == 0);
    require(stream->sizeBytes() <= 0xFFFFFFFFu);

    if (rateHz != 0) {
        std::string reason;
        stream = tt::streamAtRate(std::move(stream), rateHz, &reason);
        if (!stream) {
            require(!reason.empty());
            return 0;
        }
        require(stream->header().sampleRateHz == rateHz);
        require(stream->header().channelCount == header.channelCount);
        require(stream->sizeBytes() <= 0xFFFFFFFFu);
    }

    // The start of the sound in two reads, then its first bytes again: going back starts the
    // decoder (and the resampler) over and must give the same bytes.
    const tt::WaveHeader& at = stream->header();
    const auto frameBytes = std::uint64_t(at.bytesPerFrame());
    const std::uint64_t taken
        = std::min<std::uint64_t>(stream->sizeBytes(), convertedBytes / frameBytes * frameBytes);
    if (taken == 0) {
        return 0;
    }
    std::shared_ptr<tt::SampleBytes> block = tt::newSampleBytes(std::size_t(taken));
    require(block != nullptr);
    const std::size_t half = std::size_t(taken / frameBytes / 2 * frameBytes);
    require(stream->readAt(0, { block->data(), half }));
    require(stream->readAt(half, { block->data() + half, block->size() - half }));
    std::vector<std::uint8_t> again(std::min<std::size_t>(block->size(), 4096));
    require(stream->readAt(0, again));
    require(std::equal(again.begin(), again.end(), block->begin()));

    tt::LoadedWave wave;
    wave.header = at;
    wave.data.sizeBytes = block->size();
    wave.data.block = std::move(block);
    tt::WaveDocument document;
    document.accept(std::move(wave));
    tt::WaveImage oneBit;
    require(oneBit.prepare(document.header, document.data.sizeBytes));
    StringSink text;
    tt::ConversionResult result;
    require(tt::exportPlayerSource(
                text, document.header, document.data.bytes(), settings, oneBit.sampleArea(), result)
        == tt::ExportStatus::Written);
    require(std::isfinite(result.errorSum) && result.errorSum >= 0.0);
    return 0;
}
