#include "wave/WaveDataStream.h"

#include "wave/WaveParser.h"

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

bool WaveDataStream::readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out)
{
    if (!file_ || offsetBytes > place_.sizeBytes || place_.sizeBytes - offsetBytes < out.size()) {
        return false;
    }
    return file_->readAt(place_.offsetBytes + offsetBytes, out);
}

} // namespace tt
