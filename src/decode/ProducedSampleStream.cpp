#include "decode/ProducedSampleStream.h"

#include <algorithm>
#include <cstring>

namespace tt {

bool ProducedSampleStream::readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out)
{
    const std::uint64_t totalBytes = sizeBytes();
    if (offsetBytes > totalBytes || totalBytes - offsetBytes < out.size()) {
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
                = std::size_t(std::min<std::uint64_t>(piece_.size(), totalBytes - pieceEnd));
            const std::optional<std::size_t> made = produce({ piece_.data(), wanted });
            if (!made || *made == 0) {
                return false;
            }
            pieceOffsetBytes_ = pieceEnd;
            pieceFilledBytes_ = *made;
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
