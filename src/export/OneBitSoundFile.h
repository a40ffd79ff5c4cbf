#pragma once
// The modelled one-bit sound as a WAV file: the image the conversion pass fills, a canonical
// header and the modelled levels in the input's format, written whole, as the window's "Save 1Bit
// Sound" does (ticktrace-convert --wav streams the same bytes piece by piece).

#include "export/ExportStatus.h"
#include "modulator/ConversionResult.h"
#include "modulator/ModulatorSettings.h"
#include "wave/WaveDocument.h"

#include <string>

namespace tt {

// Converts the loaded sound (as "Play 1Bit" does) and writes its image to `path` through a
// temporary file that replaces it only when complete (except where AtomicFileOutput writes in
// place). CannotCreate: nothing was converted and `result`, the image and the file are
// untouched. Written or CannotWrite: the image is the new one and `result` its frame count and
// error sum; on CannotWrite an existing file at `path` is unchanged.
ExportStatus saveOneBitSound(const std::string& path, WaveDocument& document,
    const ModulatorSettings& settings, ConversionResult& result);

} // namespace tt
