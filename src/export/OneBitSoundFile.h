#pragma once
// The modelled one-bit sound as a WAV file: a canonical header and the modelled levels in the
// input's format, as the window's "Save 1Bit Sound" writes it; the same bytes as the image the
// conversion pass fills and as ticktrace-convert --wav writes.

#include "export/ExportStatus.h"
#include "modulator/ConversionResult.h"
#include "modulator/ModulatorSettings.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <span>
#include <string>

namespace tt {

// Converts the sound (as "Play 1Bit" does) in pieces, without an image, and writes the file to
// `path` through a temporary file that replaces it only when complete (except where
// AtomicFileOutput writes in place): the image's header, the decided samples, then the silence
// the image holds behind the counted frames. CannotCreate: nothing was converted and `result`
// and the file are untouched. Written: `result` is the pass's frame count and error sum.
// CannotWrite: an existing file at `path` is unchanged.
ExportStatus saveOneBitSound(const std::string& path, const WaveHeader& header,
    std::span<const std::uint8_t> data, const ModulatorSettings& settings,
    ConversionResult& result);

} // namespace tt
