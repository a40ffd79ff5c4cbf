#pragma once

#include "wave/DataChunkPlace.h"
#include "wave/FileByteSource.h"
#include "wave/LoadStatus.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tt {

// The sample data of a WAV file read from the file in pieces, for passes that never need all of
// it at once. The file is walked by the loader's own rules (findWaveData), so it takes and refuses
// the same files as loadWaveFile, with the same format and the same data bytes; only
// OutOfMemory cannot occur, as nothing is held.
class WaveDataStream {
public:
    // About a megabyte of whole frames (at least one frame): large enough that reads cost little
    // per byte, small enough to stay in the caches beside the pass's other buffers.
    static constexpr std::size_t pieceTargetBytes = std::size_t(1) << 20;

    // Loaded (the file is accepted), NotSupported or Unreadable, as loadWaveFile would say.
    LoadStatus open(const std::string& path);

    const WaveHeader& header() const { return header_; }
    // The data bytes a load would take; the frame count follows from them (frameCount()).
    std::uint64_t sizeBytes() const { return place_.sizeBytes; }

    // The piece size for reading this file: pieceTargetBytes rounded down to whole frames.
    std::size_t pieceBytes() const;

    // Fills all of `out` with the data bytes from offsetBytes on (counted from the start of the
    // data). False when they lie beyond sizeBytes() or the file no longer holds them.
    bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out);

private:
    std::unique_ptr<FileByteSource> file_;
    WaveHeader header_;
    DataChunkPlace place_;
};

} // namespace tt
