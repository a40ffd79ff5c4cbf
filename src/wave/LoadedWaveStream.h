#pragma once

#include "wave/LoadedWave.h"
#include "wave/MemoryByteSource.h"
#include "wave/SampleStream.h"

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
        return MemoryByteSource(wave_.data.bytes()).readAt(offsetBytes, out);
    }

private:
    LoadedWave wave_;
};

} // namespace tt
