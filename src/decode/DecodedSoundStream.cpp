#include "decode/DecodedSoundStream.h"

#include "decode/Pcm16.h"
#include "wave/WaveParser.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>

namespace tt {
namespace {

    // Frames per call of the library: its own reads are of this order.
    constexpr std::int64_t framesPerRead = 4096;

} // namespace

LoadStatus DecodedSoundStream::open(const std::string& path)
{
    if (!file_.open(path)) {
        // The library says the same for a file it cannot open and for one it does not know.
        return std::ifstream(path, std::ios::binary).is_open() ? LoadStatus::NotSupported
                                                               : LoadStatus::Unreadable;
    }
    const int channels = file_.channelCount();
    const int rateHz = file_.sampleRateHz();
    if (channels < 1 || channels > std::numeric_limits<std::uint16_t>::max() / 2 || rateHz < 1
        || file_.frameCount() <= 0) {
        return LoadStatus::NotSupported;
    }
    header_ = pcm16Header(channels, std::uint32_t(rateHz));
    // As the native loader, at most the largest data chunk a WAV file holds.
    const auto frameBytes = std::uint64_t(header_.bytesPerFrame());
    sizeBytes_
        = std::min(std::uint64_t(file_.frameCount()), maxDataSizeBytes / frameBytes) * frameBytes;
    originalFormat_ = file_.formatText();
    levels_.resize(std::size_t(framesPerRead * channels));
    return LoadStatus::Loaded;
}

std::optional<std::size_t> DecodedSoundStream::produce(std::span<std::uint8_t> out)
{
    const auto frameBytes = std::size_t(header_.bytesPerFrame());
    const auto wanted
        = std::size_t(std::min<std::uint64_t>(out.size(), sizeBytes_ - producedBytes_));
    std::size_t made = 0;
    while (made < wanted && !fileEnded_) {
        const auto frames
            = std::int64_t(std::min<std::size_t>((wanted - made) / frameBytes, framesPerRead));
        const std::int64_t read
            = file_.readFrames({ levels_.data(), std::size_t(frames * header_.channelCount) });
        if (read < 0) {
            return std::nullopt;
        }
        fileEnded_ = read == 0;
        const std::size_t samples = std::size_t(read * header_.channelCount);
        for (std::size_t i = 0; i < samples; ++i) {
            putPcm16(out.data() + made + 2 * i, pcm16FromLevel(levels_[i]));
        }
        made += samples * 2;
    }
    std::memset(out.data() + made, 0, wanted - made);
    producedBytes_ += wanted;
    return wanted;
}

bool DecodedSoundStream::restart()
{
    if (!file_.rewind()) {
        return false;
    }
    producedBytes_ = 0;
    fileEnded_ = false;
    return true;
}

} // namespace tt
