#pragma once

#include <cstdint>

namespace tt {

// Where the sample data of a WAV file lies: the offset of the "data" chunk's body from the start
// of the file and the bytes a load takes from there (never more than the file holds).
struct DataChunkPlace {
    std::uint64_t offsetBytes = 0;
    std::uint64_t sizeBytes = 0;
};

} // namespace tt
