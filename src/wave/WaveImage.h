#pragma once

#include "wave/SampleBytes.h"
#include "wave/SampleFormat.h"
#include "wave/WaveHeader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace tt {

// A complete WAV file in memory: a canonical 44-byte header, then the sample area that the
// conversion pass fills. Before the first load it is 2 zero bytes and has no sample area.
//
// The bytes can be shared with a reader that keeps them beyond the next pass (the audio output
// plays them): shared bytes are never written again. A pass that must not wait for the reader
// to let go moves the image to other bytes first (unshare()): double-buffered, the bytes the
// reader held before and has let go of since, or else fresh ones.
class WaveImage {
public:
    static constexpr std::size_t headerBytes = 44;

    WaveImage();
    // One image has one owner; readers hold its bytes through share().
    WaveImage(const WaveImage&) = delete;
    WaveImage& operator=(const WaveImage&) = delete;
    WaveImage(WaveImage&&) = default;
    WaveImage& operator=(WaveImage&&) = default;

    // Sizes the image for dataSizeBytes of samples in fresh memory, writes the header ("RIFF",
    // RIFF size, "WAVE", a 16-byte PCM "fmt " chunk with the header's channels, rate and bits and
    // the byte rate and block align that follow from them, "data" and its size); the sample area
    // reads zero, but for its tail behind the frames a pass writes (see frameCount), which holds
    // the format's silence (silenceByte) for good. Values beyond their field are written as its
    // largest value. False when the memory cannot be had; the image is then unchanged. Bytes shared
    // before stay with their readers.
    [[nodiscard]] bool prepare(const WaveHeader& header, std::uint64_t dataSizeBytes);

    // The header prepare() writes, for writers that stream the samples behind it instead of
    // holding the image.
    static std::array<std::uint8_t, headerBytes> headerFor(
        const WaveHeader& header, std::uint64_t dataSizeBytes);

    // The area a pass writes. Requires that the bytes are not shared (see unshare()).
    std::span<std::uint8_t> sampleArea();
    std::span<const std::uint8_t> sampleArea() const;
    std::span<const std::uint8_t> bytes() const { return *bytes_; }

    // The byte of a silent sample in the header's format: 0x80 for unsigned 8-bit samples, else 0.
    static std::uint8_t silenceByte(const WaveHeader& header)
    {
        return withSampleFormat(
            header.bitsPerSample, [](auto samples) { return samples.silenceByte; });
    }

    // The whole image for a reader that keeps it: from now until every copy of the pointer is
    // gone, these bytes are never written — but by the pass in progress when it was shared,
    // which only ever writes past what it has told the reader is finished (see
    // AudioOutput::loadPcm's written count).
    std::shared_ptr<const SampleBytes> share() const { return bytes_; }
    bool isShared() const { return bytes_.use_count() > 1; }

    // Gives the image bytes of its own where the current ones are shared, keeping the shared ones
    // as the next spare: the spare if no reader holds it any more, else fresh memory with the same
    // header and silent tail. The sample area then holds an earlier pass's frames or zero, and
    // the silent tail. False when fresh memory cannot be had; the image then
    // keeps the shared bytes.
    [[nodiscard]] bool unshare();

    // Gives back the spare's memory (once its reader lets go).
    void dropSpare() { spare_.reset(); }

private:
    // Large images come from the system as zero pages that take memory only once the conversion
    // writes them (see LargeBlockAllocator).
    std::shared_ptr<SampleBytes> bytes_;
    std::shared_ptr<SampleBytes> spare_; // null, or bytes of the same size that were shared
    std::size_t tailStart_ = 0; // of the silent tail in the bytes
};

} // namespace tt
