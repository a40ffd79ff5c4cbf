#pragma once

#include "wave/LoadedWave.h"

#include <string>

namespace tt {

// A sound file as the program holds it: a PCM WAV file as it lies, or another file decoded to
// 16-bit PCM, together with the format it was stored in.
struct LoadedSound {
    LoadedWave wave;
    // "FLAC, 24-bit, 48000 Hz, stereo" for a decoded file; empty for a WAV file read as it lies.
    std::string originalFormat;
    // Empty unless a decoded file was damaged or shorter than it states (DecodedSoundStream).
    std::string decodeNote;
};

} // namespace tt
