#include "wave/WaveDataStream.h"

#include "wave/WaveParser.h"

#include <algorithm>

namespace tt {

LoadStatus WaveDataStream::open(const std::string& path)
{
    auto file = std::make_unique<FileByteSource>(path);
    if (!file->isOpen()) {
        return LoadStatus::Unreadable;
    }
    WaveHeader header;
    DataChunkPlace place;
    const LoadStatus status = findWaveData(*file, header, place);
    if (status == LoadStatus::Loaded) {
        file_ = std::move(file);
        header_ = header;
        place_ = place;
    }
    return status;
}

std::size_t WaveDataStream::pieceBytes() const
{
    const std::size_t frameBytes = std::size_t(std::max<std::int64_t>(header_.bytesPerFrame(), 1));
    return std::max(pieceTargetBytes / frameBytes, std::size_t(1)) * frameBytes;
}

bool WaveDataStream::readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out)
{
    if (!file_ || offsetBytes > place_.sizeBytes || place_.sizeBytes - offsetBytes < out.size()) {
        return false;
    }
    return file_->readAt(place_.offsetBytes + offsetBytes, out);
}

} // namespace tt
