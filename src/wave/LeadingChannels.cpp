#include "wave/LeadingChannels.h"

#include <cstring>

namespace tt {

SampleBytes leadingChannels(
    std::span<const std::uint8_t> samples, int channelCount, int bytesPerSample, int keptChannels)
{
    const std::size_t frameBytes = std::size_t(channelCount) * std::size_t(bytesPerSample);
    const std::size_t keptBytes = std::size_t(keptChannels) * std::size_t(bytesPerSample);
    const std::size_t frameCount = samples.size() / frameBytes;
    SampleBytes kept(frameCount * keptBytes);
    const std::uint8_t* in = samples.data();
    std::uint8_t* out = kept.data();
    for (std::size_t frame = 0; frame < frameCount; ++frame) {
        std::memcpy(out, in, keptBytes);
        in += frameBytes;
        out += keptBytes;
    }
    return kept;
}

} // namespace tt
