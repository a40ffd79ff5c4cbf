#pragma once

#include "wave/DataChunkPlace.h"
#include "wave/FileByteSource.h"
#include "wave/LoadStatus.h"
#include "wave/SampleStream.h"
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
class WaveDataStream final : public SampleStream {
public:
    // Loaded (the file is accepted), NotSupported or Unreadable, as loadWaveFile would say.
    LoadStatus open(const std::string& path);

    const WaveHeader& header() const override { return header_; }
    std::uint64_t sizeBytes() const override { return place_.sizeBytes; }
    // Any offset costs the same: the bytes are read where they lie in the file.
    bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) override;

private:
    std::unique_ptr<FileByteSource> file_;
    WaveHeader header_;
    DataChunkPlace place_;
};

} // namespace tt
