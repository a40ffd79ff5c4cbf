#pragma once

#include "wave/WaveHeader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tt {

// The sample data of a sound read in pieces, for passes that never need all of it at once: the
// data bytes of a WAV file as they lie in it, or a sound decoded or resampled on the way. The
// bytes are PCM in the format header() states, whole frames from the first byte on.
class SampleStream {
public:
    // About a megabyte of whole frames (at least one frame): large enough that reads cost little
    // per byte, small enough to stay in the caches beside the pass's other buffers.
    static constexpr std::size_t pieceTargetBytes = std::size_t(1) << 20;

    virtual ~SampleStream() = default;

    virtual const WaveHeader& header() const = 0;
    // The data bytes a load would take; the frame count follows from them (frameCount()).
    virtual std::uint64_t sizeBytes() const = 0;

    // Fills all of `out` with the data bytes from offsetBytes on (counted from the start of the
    // data). False when they lie beyond sizeBytes() or cannot be had. Reads in order cost least;
    // a stream that makes its bytes as it goes starts again from the beginning for an offset
    // before the bytes it made last.
    virtual bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) = 0;

    // The piece size for reading this stream: pieceTargetBytes rounded down to whole frames.
    std::size_t pieceBytes() const
    {
        const auto frameBytes = std::size_t(std::max<std::int64_t>(header().bytesPerFrame(), 1));
        return std::max(pieceTargetBytes / frameBytes, std::size_t(1)) * frameBytes;
    }
};

} // namespace tt
