#pragma once

#include "wave/LargeBlockAllocator.h"

#include <cstdint>
#include <vector>

namespace tt {

// The bytes of a whole sample block: a file's "data" chunk or a copy of an image's samples.
using SampleBytes = std::vector<std::uint8_t, LargeBlockAllocator<std::uint8_t>>;

} // namespace tt
