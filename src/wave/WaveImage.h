#pragma once

#include "wave/LargeBlock.h"
#include "wave/WaveHeader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace tt {

// A complete WAV file in memory: a canonical 44-byte header, then the sample area that the
// conversion pass fills. Before the first load it is 2 zero bytes and has no sample area.
class WaveImage {
public:
    static constexpr std::size_t headerBytes = 44;

    WaveImage();

    // Sizes the image for dataSizeBytes of samples, writes the header ("RIFF", RIFF size, "WAVE",
    // a 16-byte PCM "fmt " chunk with the header's channels, rate and bits and the byte rate and
    // block align that follow from them, "data" and its size) and zeroes the whole sample area.
    // Values beyond their field are written as its largest value. False when the memory cannot
    // be had; the image is then unchanged.
    [[nodiscard]] bool prepare(const WaveHeader& header, std::uint64_t dataSizeBytes);

    // The header prepare() writes, for writers that stream the samples behind it instead of
    // holding the image.
    static std::array<std::uint8_t, headerBytes> headerFor(
        const WaveHeader& header, std::uint64_t dataSizeBytes);

    std::span<std::uint8_t> sampleArea();
    std::span<const std::uint8_t> sampleArea() const;
    std::span<const std::uint8_t> bytes() const { return { bytes_.get(), sizeBytes_ }; }

private:
    struct ReleaseBytes {
        std::size_t sizeBytes = 0;
        void operator()(std::uint8_t* p) const { largeBlock::release(p, sizeBytes); }
    };
    using Bytes = std::unique_ptr<std::uint8_t[], ReleaseBytes>;

    // Large images come from the system as zero pages that take memory only once the conversion
    // writes them.
    Bytes bytes_;
    std::size_t sizeBytes_ = 0;
};

} // namespace tt
