#pragma once
// Sound files in the decoder library's other formats, written by that library itself.

#include "wave/WaveBytes.h"

#include <cmath>
#include <sndfile.h>
#include <string>
#include <vector>

namespace tt::testing {

// `frames` frames of a mono tone with a noise floor (so lossless coders cannot shrink it to
// nothing) at rateHz, as `format` (SF_FORMAT_* container | encoding); false when the library
// cannot write that format.
inline bool writeEncodedSound(
    const std::string& path, int format, std::int64_t frames, int rateHz = 48000)
{
    SF_INFO info {};
    info.samplerate = rateHz;
    info.channels = 1;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    std::vector<double> levels(static_cast<std::size_t>(frames));
    std::uint32_t noise = 1;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        noise = noise * 1664525u + 1013904223u;
        levels[i]
            = 0.5 * std::sin(double(i) * 0.05) + double(noise >> 8) / double(1u << 24) * 0.2 - 0.1;
    }
    const bool written = sf_writef_double(file, levels.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

} // namespace tt::testing
