#include "decode/DecodedSoundStream.h"

#include "decode/Pcm16.h"

#include <algorithm>
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
    setFormat(channels, std::uint32_t(rateHz), std::uint64_t(file_.frameCount()));
    originalFormat_ = file_.formatText();
    levels_.resize(std::size_t(framesPerRead * channels));
    return LoadStatus::Loaded;
}

std::optional<std::size_t> DecodedSoundStream::produce(std::span<std::uint8_t> out)
{
    const int channels = header().channelCount;
    const auto frameBytes = std::size_t(header().bytesPerFrame());
    std::size_t made = 0;
    while (made < out.size() && !fileEnded_) {
        const auto frames
            = std::int64_t(std::min<std::size_t>((out.size() - made) / frameBytes, framesPerRead));
        const std::int64_t read
            = file_.readFrames({ levels_.data(), std::size_t(frames * channels) });
        if (read < 0) {
            return std::nullopt;
        }
        fileEnded_ = read == 0;
        const std::size_t samples = std::size_t(read * channels);
        putPcm16({ levels_.data(), samples }, out.data() + made);
        made += samples * 2;
    }
    return made;
}

bool DecodedSoundStream::restart()
{
    if (!file_.rewind()) {
        return false;
    }
    fileEnded_ = false;
    return true;
}

} // namespace tt
