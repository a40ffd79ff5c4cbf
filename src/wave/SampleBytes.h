#pragma once

#include "wave/LargeBlockAllocator.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

namespace tt {

// The bytes of a whole sample block: a file's "data" chunk, a one-bit image or a copy of some
// channels. New bytes of a fresh block read zero without being written (see
// LargeBlockAllocator); a size that grows again within the capacity shows the bytes that were
// there before.
using SampleBytes = std::vector<std::uint8_t, LargeBlockAllocator<std::uint8_t>>;

// A fresh block of sizeBytes that reads zero; null when the memory cannot be had.
inline std::shared_ptr<SampleBytes> newSampleBytes(std::size_t sizeBytes)
{
    try {
        return std::make_shared<SampleBytes>(sizeBytes);
    } catch (const std::bad_alloc&) {
        return nullptr;
    } catch (const std::length_error&) {
        return nullptr;
    }
}

} // namespace tt
