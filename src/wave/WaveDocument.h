#pragma once

#include "wave/ChunkHeader.h"
#include "wave/LoadedWave.h"
#include "wave/WaveHeader.h"
#include "wave/WaveImage.h"

#include <cstdint>

namespace tt {

// The program-wide record of the loaded file: its format, its sample data and the image the
// conversion pass writes. The three always belong to the same file.
struct WaveDocument {
    WaveHeader header;
    ChunkHeader data;
    WaveImage image;

    std::int64_t frameCount() const;
    bool isLoaded() const { return data.isLoaded(); }

    // Takes over a loaded file: header, data block and a freshly prepared, zeroed image are
    // replaced together; the sample bytes are moved, not copied. False, with nothing changed and
    // loaded left as it was, when the memory for the image cannot be had.
    [[nodiscard]] bool accept(LoadedWave&& loaded);
};

} // namespace tt
