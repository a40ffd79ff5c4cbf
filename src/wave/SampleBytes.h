#pragma once

#include "wave/LargeBlockAllocator.h"

#include <cstdint>
#include <vector>

namespace tt {

// The bytes of a whole sample block: a file's "data" chunk, a one-bit image or a copy of some
// channels. New bytes of a fresh block read zero without being written (see
// LargeBlockAllocator); a size that grows again within the capacity shows the bytes that were
// there before.
using SampleBytes = std::vector<std::uint8_t, LargeBlockAllocator<std::uint8_t>>;

} // namespace tt
