#pragma once
// Export mode of the conversion pass over a sound in memory: converts the whole file into the
// one-bit image exactly as play mode does, and writes the player source text of its bit stream on
// the way. The window and the command line export through the application core's one pass over a
// stream (app/OutputRun.h) instead, which must give the same text; tests, benchmarks and fuzz
// targets take this as the reference.

#include "export/ExportProgress.h"
#include "export/ExportStatus.h"
#include "export/TextSink.h"
#include "modulator/ConversionResult.h"
#include "modulator/ModulatorSettings.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace tt {

// Writes the text to `path` through a temporary file that replaces it only when complete
// (except where AtomicFileOutput writes in place).
// CannotCreate: nothing was converted and `result`, the sample area and the file are untouched.
// Written or CannotWrite: the sample area holds the new image and `result` its frame count and
// error sum; on CannotWrite an existing file at `path` is unchanged.
// `progress` receives the percentage as it changes and 0 at the end.
ExportStatus exportPlayerSource(const std::string& path, const WaveHeader& header,
    std::span<const std::uint8_t> data, const ModulatorSettings& settings,
    std::span<std::uint8_t> sampleArea, ConversionResult& result,
    const ProgressCallback& progress = {});

// The same into any text sink. Written or CannotWrite.
ExportStatus exportPlayerSource(TextSink& out, const WaveHeader& header,
    std::span<const std::uint8_t> data, const ModulatorSettings& settings,
    std::span<std::uint8_t> sampleArea, ConversionResult& result,
    const ProgressCallback& progress = {});

} // namespace tt
