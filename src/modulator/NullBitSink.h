#pragma once

#include <cstdint>

namespace tt {

// The sink of play mode: the bits are not wanted.
struct NullBitSink {
    void takeBit(bool, std::int64_t) { }
};

} // namespace tt
