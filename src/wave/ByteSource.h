#pragma once

#include <cstdint>
#include <span>

namespace tt {

// Random-access bytes the WAV parser walks: a file on disk, or a memory buffer (fuzzing, tests).
// The parser never asks for bytes beyond sizeBytes().
class ByteSource {
public:
    virtual ~ByteSource() = default;

    virtual std::uint64_t sizeBytes() const = 0;

    // Fills all of out from offset on. False when that many bytes cannot be had.
    virtual bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
};

} // namespace tt
