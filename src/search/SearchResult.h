#pragma once

#include "modulator/ModulatorSettings.h"

namespace tt {

// What a settings search found. Value 1, Value 2 and the Volume are the chosen settings (the ones
// it started from when nothing beat them or the search was cancelled); a search changes either
// Value 1 and Value 2 or the Volume alone.
struct SearchResult {
    int value1 = 0;
    int value2 = 0;
    int volume = 0;
    // Audible SNR in dB of the chosen settings and of the settings the search started from,
    // over the whole file, or over the confirmation sample when measuredOnWholeFile is false
    // (a file too long to run whole within the time bound).
    double snrDb = 0.0;
    double startSnrDb = 0.0;
    bool measuredOnWholeFile = true;
    bool cancelled = false;
    int candidateCount = 0; // distinct settings tried on the search sample
};

// The settings a search started from with what it found put in.
inline ModulatorSettings settingsFound(const SearchResult& result, ModulatorSettings start)
{
    start.value1 = result.value1;
    start.value2 = result.value2;
    start.volume = result.volume;
    return start;
}

} // namespace tt
