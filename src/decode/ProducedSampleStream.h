#pragma once

#include "wave/SampleStream.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tt {

// A stream whose bytes are made in order, a piece at a time (by a decoder or a resampler), and
// held one piece at a time: reading a sound of any length takes one piece of memory here. Any
// offset can be read; one before the piece in hand starts the making again from the beginning.
class ProducedSampleStream : public SampleStream {
public:
    bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) final;

protected:
    // Makes the next bytes into `out`, whose size is a whole number of frames, and tells how
    // many it made: all of out unless the stream's end comes first. Empty on failure.
    virtual std::optional<std::size_t> produce(std::span<std::uint8_t> out) = 0;
    // The next produce() starts at the first byte again. False when it cannot.
    virtual bool restart() = 0;

private:
    std::vector<std::uint8_t> piece_;
    std::uint64_t pieceOffsetBytes_ = 0; // where the piece in hand starts
    std::size_t pieceFilledBytes_ = 0;
};

} // namespace tt
