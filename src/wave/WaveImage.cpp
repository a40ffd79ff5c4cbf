#include "wave/WaveImage.h"

#include "wave/FrameCount.h"

#include <algorithm>
#include <cstring>
#include <limits>

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
    : bytes_(std::make_shared<SampleBytes>(initialBytes))
{
}

bool WaveImage::prepare(const WaveHeader& header, std::uint64_t dataSizeBytes)
{
    if (dataSizeBytes > std::numeric_limits<std::size_t>::max() - headerBytes) {
        return false;
    }
    // A fresh allocation rather than clearing the old one: the old image's pages are given back
    // and the new sample area costs nothing until it is written.
    const std::shared_ptr<SampleBytes> fresh
        = newSampleBytes(headerBytes + std::size_t(dataSizeBytes));
    if (!fresh) {
        return false;
    }
    const auto headerBytesOfImage = headerFor(header, dataSizeBytes);
    std::copy(headerBytesOfImage.begin(), headerBytesOfImage.end(), fresh->begin());
    // A player of the image hears the tail, and 0 is full scale in unsigned 8-bit samples.
    const std::uint64_t countedBytes
        = std::uint64_t(frameCount(header, dataSizeBytes)) * std::uint64_t(header.bytesPerFrame());
    const std::size_t tailStart = headerBytes + std::size_t(std::min(countedBytes, dataSizeBytes));
    std::fill(fresh->begin() + std::ptrdiff_t(tailStart), fresh->end(), silenceByte(header));
    bytes_ = fresh;
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
    if (bytes_->size() < headerBytes) {
        return {};
    }
    return std::span(*bytes_).subspan(headerBytes);
}

std::span<const std::uint8_t> WaveImage::sampleArea() const
{
    if (bytes_->size() < headerBytes) {
        return {};
    }
    return std::span<const std::uint8_t>(*bytes_).subspan(headerBytes);
}

} // namespace tt
