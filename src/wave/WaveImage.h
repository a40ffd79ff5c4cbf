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

// A complete one-bit WAV file: a canonical 44-byte header, then the sample area that the
// conversion pass fills. The program writes such files piece by piece (headerFor, silenceByte);
// a whole image in memory serves to check them. Before prepare() it is 2 zero bytes and has no
// sample area.
class WaveImage {
public:
    static constexpr std::size_t headerBytes = 44;

    WaveImage();
    WaveImage(const WaveImage&) = delete;
    WaveImage& operator=(const WaveImage&) = delete;
    WaveImage(WaveImage&&) = default;
    WaveImage& operator=(WaveImage&&) = default;

    // Sizes the image for dataSizeBytes of samples in fresh memory, writes the header ("RIFF",
    // RIFF size, "WAVE", a 16-byte PCM "fmt " chunk with the header's channels, rate and bits and
    // the byte rate and block align that follow from them, "data" and its size); the sample area
    // reads zero, but for its tail behind the frames a pass writes (see frameCount), which holds
    // the format's silence (silenceByte) for good. Values beyond their field are written as its
    // largest value. False when the memory cannot be had; the image is then unchanged.
    [[nodiscard]] bool prepare(const WaveHeader& header, std::uint64_t dataSizeBytes);

    // The header prepare() writes, for writers that stream the samples behind it instead of
    // holding the image.
    static std::array<std::uint8_t, headerBytes> headerFor(
        const WaveHeader& header, std::uint64_t dataSizeBytes);

    // The area a pass writes.
    std::span<std::uint8_t> sampleArea();
    std::span<const std::uint8_t> sampleArea() const;
    std::span<const std::uint8_t> bytes() const { return *bytes_; }

    // The byte of a silent sample in the header's format: 0x80 for unsigned 8-bit samples, else 0.
    static std::uint8_t silenceByte(const WaveHeader& header)
    {
        return withSampleFormat(
            header.bitsPerSample, [](auto samples) { return samples.silenceByte; });
    }

private:
    // Large images come from the system as zero pages that take memory only once the conversion
    // writes them (see LargeBlockAllocator).
    std::shared_ptr<SampleBytes> bytes_;
};

} // namespace tt
