#pragma once

#include "wave/FileInfoTexts.h"
#include "wave/WaveHeader.h"

#include <cstdint>

namespace tt {

// The information box texts of a loaded file. Any channel count other than 1 reads "Stereo".
FileInfoTexts fileInfoTexts(const WaveHeader& header, std::int64_t frameCount);

} // namespace tt
