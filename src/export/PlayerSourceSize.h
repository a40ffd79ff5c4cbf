#pragma once

#include <cstdint>

namespace tt {

// What the player source text of a sound takes: its data words, its blocks and its length.
struct PlayerSourceSize {
    std::int64_t wordCount = 0;
    std::int64_t blockCount = 0;
    std::int64_t sizeBytes = 0;
};

} // namespace tt
