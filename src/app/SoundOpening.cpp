#include "app/SoundOpening.h"

#include "decode/SoundLoader.h"
#include "decode/SoundOrigin.h"

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
