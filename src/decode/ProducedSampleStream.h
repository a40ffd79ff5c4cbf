#pragma once

#include "wave/SampleStream.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tt {

// A stream of 16-bit PCM whose bytes are made in order, a piece at a time (by a decoder or a
// resampler), and held one piece at a time: reading a sound of any length takes one piece of
// memory here. Any offset can be read; one before the piece in hand starts the making again from
// the beginning. The length is set when the stream is opened: a maker that ends early is
// followed by silence, one that would give more is cut there.
class ProducedSampleStream : public SampleStream {
public:
    const WaveHeader& header() const final { return header_; }
    std::uint64_t sizeBytes() const final { return sizeBytes_; }
    bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) final;

protected:
    // The stream's format and its length of frameCount frames, but as the native loader at most
    // the largest data chunk a WAV file holds.
    void setFormat(int channelCount, std::uint32_t sampleRateHz, std::uint64_t frameCount);

    // Makes the next bytes into `out`, whose size is a whole number of frames, and tells how
    // many it made: all of out unless the maker ends first. Empty on failure.
    virtual std::optional<std::size_t> produce(std::span<std::uint8_t> out) = 0;
    // The next produce() starts at the first byte again. False when it cannot.
    virtual bool restart() = 0;

private:
    WaveHeader header_;
    std::uint64_t sizeBytes_ = 0;
    std::vector<std::uint8_t> piece_;
    std::uint64_t pieceOffsetBytes_ = 0; // where the piece in hand starts
    std::size_t pieceFilledBytes_ = 0;
};

} // namespace tt
