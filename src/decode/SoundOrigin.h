#pragma once

#include <cstdint>
#include <string>

namespace tt {

// Where the sound in hand came from, one line each, for the window's tool tip and the command
// line's information: "Original: FLAC, 24-bit, 48000 Hz, stereo" for a decoded file, then
// the decoder's note on a damaged or short file (LoadedSound::decodeNote) if there is one, then
// "Resampled from 44100 Hz to 16000 Hz" when it plays at another rate than its own. Empty for a
// WAV file read as it lies at its own rate.
std::string soundOriginText(const std::string& originalFormat, std::uint32_t ownRateHz,
    std::uint32_t rateHz, const std::string& decodeNote = {});

} // namespace tt
