#pragma once

#include "wave/LoadedWave.h"
#include "wave/SampleStream.h"

#include <cstring>

namespace tt {

// A loaded sound's data as a stream, for the passes that read streams to work on a sound already
// in memory. Shares the sample block, so the sound may be replaced meanwhile.
class LoadedWaveStream final : public SampleStream {
public:
    explicit LoadedWaveStream(const LoadedWave& wave)
        : wave_(wave)
    {
    }

    const WaveHeader& header() const override { return wave_.header; }
    std::uint64_t sizeBytes() const override { return wave_.data.sizeBytes; }

    bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) override
    {
        const std::span<const std::uint8_t> bytes = wave_.data.bytes();
        if (offsetBytes > bytes.size() || bytes.size() - offsetBytes < out.size()) {
            return false;
        }
        if (!out.empty()) {
            std::memcpy(out.data(), bytes.data() + offsetBytes, out.size());
        }
        return true;
    }

private:
    LoadedWave wave_;
};

} // namespace tt
