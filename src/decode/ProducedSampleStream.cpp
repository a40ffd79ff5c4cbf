#include "decode/ProducedSampleStream.h"

#include "wave/WaveParser.h"

#include <algorithm>
#include <cstring>

namespace tt {

void ProducedSampleStream::setFormat(
    int channelCount, std::uint32_t sampleRateHz, std::uint64_t frameCount)
{
    header_.channelCount = channelCount;
    header_.sampleRateHz = sampleRateHz;
    header_.bitsPerSample = 16;
    header_.blockAlign = std::uint16_t(std::min(channelCount * 2, 0xFFFF));
    header_.byteRate = std::uint32_t(
        std::min<std::uint64_t>(std::uint64_t(sampleRateHz) * header_.blockAlign, 0xFFFFFFFFu));
    const auto frameBytes = std::uint64_t(header_.bytesPerFrame());
    sizeBytes_ = std::min(frameCount, maxDataSizeBytes / frameBytes) * frameBytes;
}

bool ProducedSampleStream::readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out)
{
    if (offsetBytes > sizeBytes_ || sizeBytes_ - offsetBytes < out.size()) {
        return false;
    }
    while (!out.empty()) {
        if (offsetBytes < pieceOffsetBytes_) {
            if (!restart()) {
                return false;
            }
            pieceOffsetBytes_ = 0;
            pieceFilledBytes_ = 0;
        }
        const std::uint64_t pieceEnd = pieceOffsetBytes_ + pieceFilledBytes_;
        if (offsetBytes >= pieceEnd) {
            if (piece_.empty()) {
                piece_.resize(pieceBytes());
            }
            const auto wanted
                = std::size_t(std::min<std::uint64_t>(piece_.size(), sizeBytes_ - pieceEnd));
            const std::optional<std::size_t> made = produce({ piece_.data(), wanted });
            if (!made) {
                return false;
            }
            std::memset(piece_.data() + *made, 0, wanted - *made);
            pieceOffsetBytes_ = pieceEnd;
            pieceFilledBytes_ = wanted;
            continue;
        }
        const auto inPiece = std::size_t(offsetBytes - pieceOffsetBytes_);
        const std::size_t count = std::min(out.size(), pieceFilledBytes_ - inPiece);
        std::memcpy(out.data(), piece_.data() + inPiece, count);
        out = out.subspan(count);
        offsetBytes += count;
    }
    return true;
}

} // namespace tt
