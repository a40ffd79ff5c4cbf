#pragma once

#include <string>

namespace tt {

// The four lines of the information box, in order from top to bottom.
struct FileInfoTexts {
    std::string rate; // "44100 Hz"
    std::string channels; // "Mono" or "Stereo"
    std::string bits; // "16 Bit/Sample"
    std::string samples; // "250000 Samples"
};

} // namespace tt
