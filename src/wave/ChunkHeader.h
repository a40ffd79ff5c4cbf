#pragma once

#include "wave/SampleBytes.h"

#include <cstdint>
#include <memory>
#include <span>

namespace tt {

// The "data" chunk of the loaded file: its size and its bytes. A size of 0 means that nothing is
// loaded; every consumer tests isLoaded() first.
//
// The block is shared and never written after loading, so the audio output can play from it
// without a copy and a later load can replace it while a sound still plays from the old one.
struct ChunkHeader {
    std::uint64_t sizeBytes = 0;
    std::shared_ptr<const SampleBytes> block;

    bool isLoaded() const { return sizeBytes > 0 && block != nullptr; }
    std::span<const std::uint8_t> bytes() const
    {
        return block ? std::span<const std::uint8_t>(*block) : std::span<const std::uint8_t> {};
    }
};

} // namespace tt
