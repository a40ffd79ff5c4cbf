#pragma once

#include "wave/FrameRange.h"
#include "wave/LoadedWave.h"
#include "wave/LoadedWaveStream.h"
#include "wave/SampleStream.h"

namespace tt {

// The frames of a range of another stream, served from it without a copy: the pass, the search
// and the play conversion take a part of a sound as they take a whole one. The whole stream must
// outlive this one; the range must lie within its frames (framesHeld).
class PartStream final : public SampleStream {
public:
    PartStream(SampleStream& whole, FrameRange range)
        : whole_(whole)
        , firstByte_(std::uint64_t(range.first) * std::uint64_t(whole.header().bytesPerFrame()))
        , sizeBytes_(std::uint64_t(range.length()) * std::uint64_t(whole.header().bytesPerFrame()))
    {
    }

    const WaveHeader& header() const override { return whole_.header(); }
    std::uint64_t sizeBytes() const override { return sizeBytes_; }

    bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) override
    {
        if (offsetBytes > sizeBytes_ || out.size() > sizeBytes_ - offsetBytes) {
            return false;
        }
        return whole_.readAt(firstByte_ + offsetBytes, out);
    }

private:
    SampleStream& whole_;
    std::uint64_t firstByte_;
    std::uint64_t sizeBytes_;
};

// Calls f(stream) with the frames of `range` of a loaded sound as a stream, or with all of its
// bytes for an empty range (the window's selection, or none).
template <class F> decltype(auto) withLoadedPart(const LoadedWave& sound, FrameRange range, F&& f)
{
    LoadedWaveStream whole(sound);
    if (range.empty()) {
        return f(static_cast<SampleStream&>(whole));
    }
    PartStream part(whole, range);
    return f(static_cast<SampleStream&>(part));
}

} // namespace tt
