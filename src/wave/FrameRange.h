#pragma once

#include "wave/WaveHeader.h"

#include <algorithm>
#include <cstdint>

namespace tt {

// A part of a sound: its frames first ... end - 1, counted from the sound's first frame. An empty
// range (end <= first) stands for no part chosen, which both front ends read as the whole sound.
struct FrameRange {
    std::int64_t first = 0;
    std::int64_t end = 0;

    std::int64_t length() const { return std::max<std::int64_t>(end - first, 0); }
    bool empty() const { return end <= first; }
    bool operator==(const FrameRange&) const = default;

    // The frames between two frame boundaries, given in either order.
    static FrameRange between(std::int64_t a, std::int64_t b)
    {
        return { std::min(a, b), std::max(a, b) };
    }

    // The range limited to 0 ... frames.
    FrameRange within(std::int64_t frames) const
    {
        return { std::clamp<std::int64_t>(first, 0, frames),
            std::clamp<std::int64_t>(end, 0, frames) };
    }
};

// The whole frames the data bytes hold (a partial last frame does not count); 0 for a header
// without bytes per frame. Unlike frameCount() not rounded down to a multiple of 8: a part may
// end anywhere, and the pass over it rounds its own length down.
inline std::int64_t framesHeld(const WaveHeader& header, std::uint64_t dataSizeBytes)
{
    const std::int64_t frameBytes = header.bytesPerFrame();
    return frameBytes > 0 ? std::int64_t(dataSizeBytes / std::uint64_t(frameBytes)) : 0;
}

} // namespace tt
