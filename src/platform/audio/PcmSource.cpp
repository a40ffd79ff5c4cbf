#include "platform/audio/PcmSource.h"

#include <algorithm>
#include <cstring>

namespace tt {

PcmSource::PcmSource(
    std::shared_ptr<const SampleBytes> bytes, std::size_t offsetBytes, std::size_t sizeBytes)
    : bytes_(std::move(bytes))
    , offsetBytes_(offsetBytes)
    , sizeBytes_(sizeBytes)
{
    // Unbuffered: QIODevice would otherwise copy everything through its own buffer first.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 PcmSource::readData(char* data, qint64 maxSizeBytes)
{
    const qint64 positionBytes = pos();
    if (maxSizeBytes <= 0 || positionBytes < 0 || positionBytes >= size()) {
        return 0;
    }
    const qint64 countBytes = std::min(maxSizeBytes, size() - positionBytes);
    std::memcpy(
        data, bytes_->data() + offsetBytes_ + std::size_t(positionBytes), std::size_t(countBytes));
    return countBytes;
}

qint64 PcmSource::writeData(const char*, qint64)
{
    return -1;
}

} // namespace tt
