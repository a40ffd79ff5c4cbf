#include "wave/SoundImageLayout.h"

#include <cstring>

namespace tt {

namespace {

    constexpr std::size_t chunkHeaderBytes = 8;
    constexpr std::size_t formatOffset = 20;
    constexpr std::size_t minFormatBytes = 16;

    std::uint16_t readU16(const std::uint8_t* p)
    {
        return std::uint16_t(p[0] | (p[1] << 8));
    }

    std::uint32_t readU32(const std::uint8_t* p)
    {
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16)
            | (std::uint32_t(p[3]) << 24);
    }

    bool hasId(std::span<const std::uint8_t> image, std::size_t offset, const char* id)
    {
        return offset <= image.size() && image.size() - offset >= 4
            && std::memcmp(image.data() + offset, id, 4) == 0;
    }

} // namespace

std::optional<SoundImageLayout> findSoundImageLayout(std::span<const std::uint8_t> image)
{
    if (!hasId(image, 0, "RIFF") || !hasId(image, 12, "fmt ") || image.size() < formatOffset) {
        return std::nullopt;
    }
    const std::size_t formatSizeBytes = readU32(image.data() + 16);
    if (formatSizeBytes < minFormatBytes || image.size() - formatOffset < formatSizeBytes) {
        return std::nullopt;
    }

    const std::uint8_t* format = image.data() + formatOffset;
    SoundImageLayout layout;
    layout.formatTag = readU16(format);
    layout.channelCount = readU16(format + 2);
    layout.sampleRateHz = readU32(format + 4);
    layout.bitsPerSample = readU16(format + 14);
    if (layout.channelCount < 1 || layout.sampleRateHz == 0
        || (layout.bitsPerSample != 8 && layout.bitsPerSample != 16)) {
        return std::nullopt;
    }

    // Every step is checked against the bytes left, so neither the offset nor a size near 2^32
    // can carry the walk past the end.
    std::size_t offset = formatOffset + formatSizeBytes;
    while (image.size() - offset >= chunkHeaderBytes) {
        const std::size_t chunkSizeBytes = readU32(image.data() + offset + 4);
        const std::size_t bodyOffset = offset + chunkHeaderBytes;
        const std::size_t bytesLeft = image.size() - bodyOffset;
        if (hasId(image, offset, "data")) {
            const std::size_t presentBytes
                = chunkSizeBytes < bytesLeft ? chunkSizeBytes : bytesLeft;
            const std::size_t frameBytes = std::size_t(layout.bytesPerFrame());
            layout.dataOffsetBytes = bodyOffset;
            layout.dataSizeBytes = presentBytes / frameBytes * frameBytes;
            if (layout.dataSizeBytes == 0) {
                return std::nullopt;
            }
            return layout;
        }
        if (chunkSizeBytes > bytesLeft) {
            return std::nullopt;
        }
        offset = bodyOffset + chunkSizeBytes;
        if (chunkSizeBytes % 2 == 1 && offset < image.size() && image[offset] == 0) {
            ++offset;
        }
    }
    return std::nullopt;
}

} // namespace tt
