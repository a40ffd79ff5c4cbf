#pragma once

#include "wave/ChunkHeader.h"
#include "wave/LoadedWave.h"
#include "wave/WaveHeader.h"

#include <cstdint>

namespace tt {

// The program-wide record of the loaded file: its format and its sample data, which always
// belong to the same file. The one-bit sound is never held: it is made as it plays or is written.
struct WaveDocument {
    WaveHeader header;
    ChunkHeader data;

    std::int64_t frameCount() const;
    bool isLoaded() const { return data.isLoaded(); }

    // Takes over a loaded file: header and data block are replaced together; the sample bytes
    // are moved, not copied.
    void accept(LoadedWave&& loaded);
};

} // namespace tt
