#include "wave/WaveDocument.h"

#include "wave/FrameCount.h"

#include <utility>

namespace tt {

std::int64_t WaveDocument::frameCount() const
{
    return tt::frameCount(header, data.sizeBytes);
}

void WaveDocument::accept(LoadedWave&& loaded)
{
    header = loaded.header;
    data = std::move(loaded.data);
}

} // namespace tt
