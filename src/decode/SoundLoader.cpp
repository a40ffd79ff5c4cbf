#include "decode/SoundLoader.h"

#include "decode/DecodedSoundStream.h"
#include "decode/ResampledStream.h"
#include "wave/LoadedWaveStream.h"
#include "wave/WaveDataStream.h"

#include <algorithm>
#include <span>

namespace tt {
namespace {

    // The whole stream into a new sample block, piece by piece when someone follows the
    // progress; out is assigned only when the result is Loaded.
    LoadStatus readWhole(SampleStream& stream, LoadedWave& out, const ReadProgress& progress = {})
    {
        std::shared_ptr<SampleBytes> block = newSampleBytes(std::size_t(stream.sizeBytes()));
        if (!block) {
            return LoadStatus::OutOfMemory;
        }
        const std::span<std::uint8_t> bytes(*block);
        const std::size_t pieceBytes = progress ? stream.pieceBytes() : bytes.size();
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t takenBytes = std::min(pieceBytes, bytes.size() - at);
            if (!stream.readAt(at, bytes.subspan(at, takenBytes))) {
                return LoadStatus::Unreadable;
            }
            at += takenBytes;
            if (progress && !progress(int(double(at) * 100.0 / double(bytes.size())))) {
                return LoadStatus::Cancelled;
            }
        }
        out.header = stream.header();
        out.data.sizeBytes = stream.sizeBytes();
        out.data.block = std::move(block);
        return LoadStatus::Loaded;
    }

} // namespace

LoadStatus loadSoundFile(const std::string& path, LoadedSound& out)
{
    std::unique_ptr<SampleStream> stream;
    std::string originalFormat;
    std::string decodeNote;
    if (const LoadStatus opened = openSoundStream(path, stream, originalFormat, &decodeNote);
        opened != LoadStatus::Loaded) {
        return opened;
    }
    const LoadStatus read = readWhole(*stream, out.wave);
    if (read == LoadStatus::Loaded) {
        out.originalFormat = std::move(originalFormat);
        out.decodeNote = std::move(decodeNote);
    }
    return read;
}

LoadStatus openSoundStream(const std::string& path, std::unique_ptr<SampleStream>& out,
    std::string& originalFormat, std::string* decodeNote)
{
    auto native = std::make_unique<WaveDataStream>();
    if (const LoadStatus status = native->open(path); status != LoadStatus::NotSupported) {
        if (status == LoadStatus::Loaded) {
            out = std::move(native);
            originalFormat.clear();
            if (decodeNote) {
                decodeNote->clear();
            }
        }
        return status;
    }
    auto decoded = std::make_unique<DecodedSoundStream>();
    const LoadStatus status = decoded->open(path);
    if (status == LoadStatus::Loaded) {
        originalFormat = decoded->originalFormat();
        if (decodeNote) {
            *decodeNote = decoded->decodeNote();
        }
        out = std::move(decoded);
    }
    return status;
}

std::unique_ptr<SampleStream> streamAtRate(
    std::unique_ptr<SampleStream> stream, std::uint32_t rateHz, std::string* reason)
{
    if (stream->header().sampleRateHz == rateHz) {
        return stream;
    }
    auto resampled = std::make_unique<ResampledStream>();
    std::string why;
    if (!resampled->open(std::move(stream), rateHz, why)) {
        if (reason) {
            *reason = std::move(why);
        }
        return nullptr;
    }
    return resampled;
}

LoadStatus resampleSound(const LoadedWave& wave, std::uint32_t rateHz, LoadedWave& out,
    std::string* reason, const ReadProgress& progress)
{
    std::unique_ptr<SampleStream> stream
        = streamAtRate(std::make_unique<LoadedWaveStream>(wave), rateHz, reason);
    if (!stream) {
        return LoadStatus::NotSupported;
    }
    return readWhole(*stream, out, progress);
}

} // namespace tt
