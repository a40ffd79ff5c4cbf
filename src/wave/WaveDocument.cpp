#include "wave/WaveDocument.h"

#include "wave/FrameCount.h"

#include <utility>

namespace tt {

std::int64_t WaveDocument::frameCount() const
{
    return tt::frameCount(header, data.sizeBytes);
}

bool WaveDocument::accept(LoadedWave&& loaded)
{
    if (!image.prepare(loaded.header, loaded.data.sizeBytes)) {
        return false;
    }
    header = loaded.header;
    data = std::move(loaded.data);
    return true;
}

} // namespace tt
