#pragma once

#include <concepts>
#include <cstdint>

namespace tt {

// Receives the output bit of every converted frame, in frame order, with the frame's 1-based
// index. A template parameter rather than a virtual interface: the pass calls it once per frame.
template <class T>
concept BitSink = requires(T& sink, bool bit, std::int64_t frameIndex)
{
    sink.takeBit(bit, frameIndex);
};

} // namespace tt
