#pragma once

#include "wave/ChunkHeader.h"
#include "wave/WaveHeader.h"

namespace tt {

// A file the loader accepted: its format and its sample bytes, belonging to each other.
struct LoadedWave {
    WaveHeader header;
    ChunkHeader data;
};

} // namespace tt
