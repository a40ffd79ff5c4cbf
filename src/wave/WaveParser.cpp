#include "wave/WaveParser.h"

#include "wave/SampleFormat.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace tt {
namespace {

    constexpr std::uint64_t riffHeaderBytes = 12;
    constexpr std::uint64_t chunkHeaderBytes = 8;
    constexpr std::uint64_t minFormatBytes = 16;
    constexpr std::uint64_t extensibleFormatBytes = 40;

    constexpr std::uint16_t formatPcm = 0x0001;
    constexpr std::uint16_t formatExtensible = 0xFFFE;
    constexpr std::uint16_t extensibleExtraBytes = 22;
    // KSDATAFORMAT_SUBTYPE_PCM as it lies in the file.
    constexpr std::array<std::uint8_t, 16> pcmSubFormat { 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10,
        0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71 };

    std::uint16_t readU16(const std::uint8_t* p)
    {
        return std::uint16_t(p[0] | (p[1] << 8));
    }

    std::uint32_t readU32(const std::uint8_t* p)
    {
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16)
            | (std::uint32_t(p[3]) << 24);
    }

    bool isId(const std::uint8_t* p, const char (&id)[5])
    {
        return std::memcmp(p, id, 4) == 0;
    }

    // The RIFF and form ids count in any letter case; only ASCII letters have a case here.
    bool isIdAnyCase(const std::uint8_t* p, const char (&upperId)[5])
    {
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t c = p[i];
            const std::uint8_t upper = (c >= 'a' && c <= 'z') ? std::uint8_t(c - 0x20) : c;
            if (upper != std::uint8_t(upperId[i])) {
                return false;
            }
        }
        return true;
    }

    // Chunk ids are four printable ASCII characters ("fmt ", "LIST", "data"); sample bytes and
    // the middle of a chunk header rarely are.
    bool isPlausibleChunkId(const std::uint8_t* p)
    {
        for (int i = 0; i < 4; ++i) {
            if (p[i] < 0x20 || p[i] > 0x7E) {
                return false;
            }
        }
        return true;
    }

    // Whether the bytes at offset look like a chunk header whose body fits in the source.
    bool holdsChunkHeader(ByteSource& source, std::uint64_t offset, std::uint64_t totalBytes)
    {
        std::array<std::uint8_t, chunkHeaderBytes> chunk {};
        if (offset > totalBytes || totalBytes - offset < chunkHeaderBytes
            || !source.readAt(offset, chunk) || !isPlausibleChunkId(chunk.data())) {
            return false;
        }
        return readU32(chunk.data() + 4) <= totalBytes - offset - chunkHeaderBytes;
    }

    // Where the chunk after a body of declaredBytes at bodyOffset starts. An odd-sized body is
    // followed by a pad byte, but some writers leave it out; their next chunk id then lies one
    // byte earlier. That position is taken only when the padded one holds no plausible chunk
    // header and the unpadded one does hold a plausible id.
    std::uint64_t nextChunkOffset(ByteSource& source, std::uint64_t bodyOffset,
        std::uint64_t declaredBytes, std::uint64_t totalBytes)
    {
        const std::uint64_t bytesLeft = totalBytes - bodyOffset;
        if (declaredBytes >= bytesLeft) {
            return totalBytes;
        }
        const std::uint64_t unpadded = bodyOffset + declaredBytes;
        if (declaredBytes % 2 == 0 || holdsChunkHeader(source, unpadded + 1, totalBytes)) {
            return unpadded + (declaredBytes % 2);
        }
        std::array<std::uint8_t, 4> id {};
        if (totalBytes - unpadded >= chunkHeaderBytes && source.readAt(unpadded, id)
            && isPlausibleChunkId(id.data())) {
            return unpadded;
        }
        return unpadded + 1;
    }

    // The format chunk's fields; body holds its first bodyBytes bytes (at least 16).
    std::optional<WaveHeader> parseFormat(const std::uint8_t* body, std::uint64_t bodyBytes)
    {
        const std::uint16_t tag = readU16(body);
        if (tag == formatExtensible) {
            if (bodyBytes < extensibleFormatBytes || readU16(body + 16) < extensibleExtraBytes
                || std::memcmp(body + 24, pcmSubFormat.data(), pcmSubFormat.size()) != 0) {
                return std::nullopt;
            }
        } else if (tag != formatPcm) {
            return std::nullopt;
        }
        WaveHeader header;
        header.channelCount = readU16(body + 2);
        header.sampleRateHz = readU32(body + 4);
        header.byteRate = readU32(body + 8);
        header.blockAlign = readU16(body + 12);
        header.bitsPerSample = readU16(body + 14);
        const bool bitsOk = knownSampleBits(header.bitsPerSample);
        const bool rateOk = header.sampleRateHz > 0
            && header.sampleRateHz <= std::uint32_t(std::numeric_limits<std::int32_t>::max());
        if (!bitsOk || !rateOk || header.channelCount < 1) {
            return std::nullopt;
        }
        return header;
    }

} // namespace

LoadStatus findWaveData(ByteSource& source, WaveHeader& header, DataChunkPlace& place)
{
    const std::uint64_t totalBytes = source.sizeBytes();
    std::array<std::uint8_t, riffHeaderBytes> riff {};
    if (totalBytes < riffHeaderBytes) {
        return LoadStatus::NotSupported;
    }
    if (!source.readAt(0, riff)) {
        return LoadStatus::Unreadable;
    }
    if (!isIdAnyCase(riff.data(), "RIFF") || !isIdAnyCase(riff.data() + 8, "WAVE")) {
        return LoadStatus::NotSupported;
    }

    std::optional<WaveHeader> format;
    std::uint64_t offset = riffHeaderBytes;
    // offset <= totalBytes holds throughout, so totalBytes - offset never wraps.
    while (totalBytes - offset >= chunkHeaderBytes) {
        std::array<std::uint8_t, chunkHeaderBytes> chunk {};
        if (!source.readAt(offset, chunk)) {
            return LoadStatus::Unreadable;
        }
        offset += chunkHeaderBytes;
        const std::uint64_t declaredBytes = readU32(chunk.data() + 4);
        const std::uint64_t bytesLeft = totalBytes - offset;

        if (isId(chunk.data(), "data")) {
            if (!format) {
                return LoadStatus::NotSupported;
            }
            // A size of 0 is what streaming writers leave when they cannot go back to fill it
            // in: the samples then run to the end of the file. Where a chunk follows at once,
            // the chunk really is empty.
            const bool streamed
                = declaredBytes == 0 && !holdsChunkHeader(source, offset, totalBytes);
            std::uint64_t presentBytes
                = (streamed || declaredBytes > bytesLeft) ? bytesLeft : declaredBytes;
            presentBytes = std::min(presentBytes, maxDataSizeBytes);
            if (presentBytes == 0) {
                return LoadStatus::NotSupported;
            }
            header = *format;
            place.offsetBytes = offset;
            place.sizeBytes = presentBytes;
            return LoadStatus::Loaded;
        }

        if (isId(chunk.data(), "fmt ") && !format) {
            if (declaredBytes < minFormatBytes || bytesLeft < minFormatBytes) {
                return LoadStatus::NotSupported;
            }
            std::array<std::uint8_t, extensibleFormatBytes> body {};
            const std::uint64_t bodyBytes
                = std::min({ declaredBytes, bytesLeft, extensibleFormatBytes });
            if (!source.readAt(offset, std::span(body.data(), std::size_t(bodyBytes)))) {
                return LoadStatus::Unreadable;
            }
            format = parseFormat(body.data(), bodyBytes);
            if (!format) {
                return LoadStatus::NotSupported;
            }
        }

        offset = nextChunkOffset(source, offset, declaredBytes, totalBytes);
    }
    return LoadStatus::NotSupported;
}

LoadStatus parseWave(ByteSource& source, LoadedWave& out)
{
    WaveHeader header;
    DataChunkPlace place;
    if (const LoadStatus found = findWaveData(source, header, place); found != LoadStatus::Loaded) {
        return found;
    }
    std::shared_ptr<SampleBytes> block = newSampleBytes(std::size_t(place.sizeBytes));
    if (!block) {
        return LoadStatus::OutOfMemory;
    }
    if (!source.readAt(place.offsetBytes, *block)) {
        return LoadStatus::Unreadable;
    }
    out.header = header;
    out.data.sizeBytes = place.sizeBytes;
    out.data.block = std::move(block);
    return LoadStatus::Loaded;
}

} // namespace tt
