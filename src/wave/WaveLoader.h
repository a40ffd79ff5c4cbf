#pragma once

#include "wave/LoadStatus.h"
#include "wave/LoadedWave.h"

#include <string>

namespace tt {

// Reads and checks the whole file (see parseWave for what is accepted). out is assigned only
// when the result is Loaded, so a refused or unreadable file leaves the caller's record as it was.
LoadStatus loadWaveFile(const std::string& path, LoadedWave& out);

} // namespace tt
