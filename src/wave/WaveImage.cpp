#include "wave/WaveImage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace tt {
namespace {

    constexpr std::size_t initialBytes = 2;

    void putId(std::uint8_t* p, const char (&id)[5])
    {
        std::memcpy(p, id, 4);
    }

    void putU16(std::uint8_t* p, std::uint32_t value)
    {
        p[0] = std::uint8_t(value);
        p[1] = std::uint8_t(value >> 8);
    }

    void putU32(std::uint8_t* p, std::uint64_t value)
    {
        const std::uint32_t v = std::uint32_t(std::min<std::uint64_t>(value, 0xFFFFFFFFu));
        for (int i = 0; i < 4; ++i) {
            p[i] = std::uint8_t(v >> (8 * i));
        }
    }

} // namespace

WaveImage::WaveImage()
    : bytes_(largeBlock::allocateZeroed(initialBytes), ReleaseBytes { initialBytes })
    , sizeBytes_(initialBytes)
{
    if (!bytes_) {
        throw std::bad_alloc();
    }
}

bool WaveImage::prepare(const WaveHeader& header, std::uint64_t dataSizeBytes)
{
    if (dataSizeBytes > std::numeric_limits<std::size_t>::max() - headerBytes) {
        return false;
    }
    const std::size_t sizeBytes = headerBytes + std::size_t(dataSizeBytes);
    // A fresh allocation rather than clearing the old one: the old image's pages are given back
    // and the new sample area costs nothing until it is written.
    Bytes fresh(largeBlock::allocateZeroed(sizeBytes), ReleaseBytes { sizeBytes });
    if (!fresh) {
        return false;
    }
    const auto headerBytesOfImage = headerFor(header, dataSizeBytes);
    std::memcpy(fresh.get(), headerBytesOfImage.data(), headerBytes);

    bytes_ = std::move(fresh);
    sizeBytes_ = sizeBytes;
    return true;
}

std::array<std::uint8_t, WaveImage::headerBytes> WaveImage::headerFor(
    const WaveHeader& header, std::uint64_t dataSizeBytes)
{
    std::array<std::uint8_t, headerBytes> bytes {};
    std::uint8_t* p = bytes.data();
    putId(p + 0, "RIFF");
    putU32(p + 4, std::uint64_t(headerBytes - 8) + dataSizeBytes);
    putId(p + 8, "WAVE");
    putId(p + 12, "fmt ");
    putU32(p + 16, 16);
    putU16(p + 20, 1);
    putU16(p + 22, std::uint32_t(header.channelCount));
    putU32(p + 24, header.sampleRateHz);
    // Computed rather than copied: files state any value here, and players size their reads by
    // these fields.
    const std::uint64_t blockAlignBytes
        = std::uint64_t(header.channelCount) * std::uint64_t(header.bytesPerSample());
    putU32(p + 28, blockAlignBytes * header.sampleRateHz);
    putU16(p + 32, std::uint32_t(std::min<std::uint64_t>(blockAlignBytes, 0xFFFFu)));
    putU16(p + 34, std::uint32_t(header.bitsPerSample));
    putId(p + 36, "data");
    putU32(p + 40, dataSizeBytes);
    return bytes;
}

std::span<std::uint8_t> WaveImage::sampleArea()
{
    if (sizeBytes_ < headerBytes) {
        return {};
    }
    return { bytes_.get() + headerBytes, sizeBytes_ - headerBytes };
}

std::span<const std::uint8_t> WaveImage::sampleArea() const
{
    if (sizeBytes_ < headerBytes) {
        return {};
    }
    return { bytes_.get() + headerBytes, sizeBytes_ - headerBytes };
}

} // namespace tt
