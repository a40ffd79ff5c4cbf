#include "app/SoundOpening.h"

#include "decode/SoundLoader.h"
#include "decode/SoundOrigin.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tt {

std::string OpenedSound::originText() const
{
    return soundOriginText(originalFormat, ownRateHz, stream->header().sampleRateHz, decodeNote);
}

OpenStatus openSound(const std::string& path, std::uint32_t rateHz, OpenedSound& out)
{
    switch (openSoundStream(path, out.stream, out.originalFormat, &out.decodeNote)) {
    case LoadStatus::Unreadable:
    case LoadStatus::Cancelled: // opening is never cancelled
        return OpenStatus::Unreadable;
    case LoadStatus::OutOfMemory:
        return OpenStatus::OutOfMemory;
    case LoadStatus::NotSupported:
        return OpenStatus::NotSupported;
    case LoadStatus::Loaded:
        break;
    }
    out.ownRateHz = out.stream->header().sampleRateHz;
    if (rateHz != 0) {
        out.stream = streamAtRate(std::move(out.stream), rateHz, &out.resampleRefusal);
        if (!out.stream) {
            return OpenStatus::CannotResample;
        }
    }
    return OpenStatus::Opened;
}

LoadStatus FileSound::load(const std::string& path)
{
    LoadedSound loaded;
    const LoadStatus status = loadSoundFile(path, loaded);
    if (status == LoadStatus::Loaded) {
        sound_ = std::move(loaded);
    }
    return status;
}

bool FileSound::isWhatTheFileGives(const std::string& path) const
{
    const ChunkHeader& held = sound_.wave.data;
    std::string format, note; // before the stream, which may write the note while it lives
    std::unique_ptr<SampleStream> stream;
    if (!held.isLoaded() || openSoundStream(path, stream, format, &note) != LoadStatus::Loaded
        || !(stream->header() == sound_.wave.header) || format != sound_.originalFormat
        || stream->sizeBytes() != held.sizeBytes || held.bytes().size() < held.sizeBytes) {
        return false;
    }
    std::vector<std::uint8_t> piece(stream->pieceBytes());
    for (std::uint64_t at = 0; at < held.sizeBytes;) {
        const auto bytes = std::size_t(std::min<std::uint64_t>(piece.size(), held.sizeBytes - at));
        if (!stream->readAt(at, { piece.data(), bytes })
            || std::memcmp(piece.data(), held.bytes().data() + at, bytes) != 0) {
            return false;
        }
        at += bytes;
    }
    return note == sound_.decodeNote;
}

LoadStatus FileSound::atRate(
    std::uint32_t rateHz, LoadedWave& out, std::string& reason, const ReadProgress& progress) const
{
    if (rateHz == sound_.wave.header.sampleRateHz) {
        out = sound_.wave;
        return LoadStatus::Loaded;
    }
    return resampleSound(sound_.wave, rateHz, out, &reason, progress);
}

std::string FileSound::originText(std::uint32_t rateHz) const
{
    return soundOriginText(
        sound_.originalFormat, sound_.wave.header.sampleRateHz, rateHz, sound_.decodeNote);
}

} // namespace tt
