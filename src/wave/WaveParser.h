#pragma once

#include "wave/ByteSource.h"
#include "wave/DataChunkPlace.h"
#include "wave/LoadStatus.h"
#include "wave/LoadedWave.h"

#include <cstdint>

namespace tt {

// The largest sample data a load takes; a "data" chunk holding more is cut here.
inline constexpr std::uint64_t maxDataSizeBytes = 0xFFFFFFFFu;

// Walks a RIFF/WAVE byte stream and takes its format and sample bytes.
//
// Accepted: "RIFF" and "WAVE" in any letter case; a "fmt " chunk of at least 16 bytes before
// the first "data" chunk, stating PCM (tag 1, or WAVE_FORMAT_EXTENSIBLE with the PCM sub-format),
// 8 or 16 bits, at least one channel and a rate of 1 ... 2^31-1 Hz; a "data" chunk with at least
// one byte present. Chunk sizes are bounded by the bytes left and an odd-sized chunk is followed
// by its pad byte. A "data" chunk that declares more than is present, or declares 0 (a
// streaming writer's placeholder), takes the bytes up to the end of the source.
//
// Only the format chunk's first 40 bytes and the sample bytes are read; other chunks are skipped
// unread. out is assigned only when the result is Loaded.
LoadStatus parseWave(ByteSource& source, LoadedWave& out);

// The walk of parseWave without reading the samples: Loaded when parseWave would take the file,
// with its format in `header` and where its sample bytes lie in `place`; NotSupported or
// Unreadable exactly where parseWave says so before it reads the samples. header and place are
// assigned only when the result is Loaded.
LoadStatus findWaveData(ByteSource& source, WaveHeader& header, DataChunkPlace& place);

} // namespace tt
