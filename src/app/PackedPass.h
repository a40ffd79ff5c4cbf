#pragma once
// The conversion pass with its bits packed in 16-frame words, the earliest frame in the top bit:
// what the pipeline's converting thread runs (runPieces). Compiled on its own, so that the
// compiler's growth budget for the file goes to inlining the model into the pass's loop.

#include "modulator/StreamingConversion.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tt {

// A bit sink cheap enough for the pass's own loop. Its stores are 16-bit, so they cannot alias its
// own state, which the loop then keeps in registers.
class WordPacker {
public:
    void takeBit(bool bit, std::int64_t)
    {
        accumulator_ = (accumulator_ << 1) | std::uint32_t(bit);
        if (accumulator_ >= 0x10000u) {
            *next_++ = std::uint16_t(accumulator_);
            accumulator_ = 1;
        }
    }

    // Where the next whole words go; room for every word the next call completes.
    void startWords(std::uint16_t* words) { next_ = words; }
    std::uint16_t* next() const { return next_; }

    // The bits of an unfinished word and their count, after which it starts a new word.
    int takeTail(std::uint32_t& tail)
    {
        const int bits = std::bit_width(accumulator_) - 1;
        tail = accumulator_ & ((1u << bits) - 1u);
        accumulator_ = 1;
        return bits;
    }

private:
    std::uint32_t accumulator_ = 1; // a sentinel 1 above the bits collected
    std::uint16_t* next_ = nullptr;
};

// StreamingConversion::convert and finish with the packer as the sink.
std::size_t convertPacked(StreamingConversion& pass, std::span<const std::uint8_t> in,
    std::span<std::uint8_t> out, WordPacker& packer);
std::size_t finishPacked(
    StreamingConversion& pass, std::span<std::uint8_t> out, WordPacker& packer);

} // namespace tt
