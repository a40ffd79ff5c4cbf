#pragma once
// Opening the sound files people have. An 8- or 16-bit PCM WAV file is read as it lies, by the
// WAV loader's rules (loadWaveFile); a file that loader refuses as not supported goes to the
// decoder library (DecodedSoundStream), which gives 16-bit PCM at the file's own rate and
// channel count. A file neither takes is NotSupported.

#include "decode/LoadedSound.h"
#include "wave/LoadStatus.h"
#include "wave/SampleStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tt {

// The whole sound in memory, for the window. out is assigned only when the result is Loaded. A
// decoded sound of no frames is NotSupported, as an empty "data" chunk is.
LoadStatus loadSoundFile(const std::string& path, LoadedSound& out);

// The same sound read in pieces, for the command line: the same format and the same bytes as
// loadSoundFile, without holding them. out, originalFormat and decodeNote (see
// LoadedSound) are assigned only when Loaded.
LoadStatus openSoundStream(const std::string& path, std::unique_ptr<SampleStream>& out,
    std::string& originalFormat, std::string* decodeNote = nullptr);

// The stream at rateHz (see ResampledStream); the stream itself when it is at that rate already.
// Empty when the sound cannot be resampled to that rate; `reason` then tells why in a sentence
// (too many channels, too long a result, ...).
std::unique_ptr<SampleStream> streamAtRate(
    std::unique_ptr<SampleStream> stream, std::uint32_t rateHz, std::string* reason = nullptr);

// Told the percentage (0 ... 100) of a long read as it goes; returning false stops the read.
using ReadProgress = std::function<bool(int percent)>;

// A loaded 8- or 16-bit sound at rateHz, the same bytes streamAtRate gives. Loaded;
// OutOfMemory; NotSupported when it cannot be resampled to that rate, with `reason` as
// streamAtRate's; Cancelled when `progress` asked to stop. out is assigned only when the result
// is Loaded.
LoadStatus resampleSound(const LoadedWave& wave, std::uint32_t rateHz, LoadedWave& out,
    std::string* reason = nullptr, const ReadProgress& progress = {});

} // namespace tt
