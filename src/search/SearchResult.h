#pragma once

namespace tt {

// What a settings search found. Value 1 and Value 2 are the chosen settings (the ones it started
// from when nothing beat them or the search was cancelled); the Volume is never changed.
struct SearchResult {
    int value1 = 0;
    int value2 = 0;
    // Segmental SNR in dB of the chosen settings and of the settings the search started from,
    // over the whole file, or over the confirmation sample when measuredOnWholeFile is false
    // (a file too long to run whole within the time bound).
    double snrDb = 0.0;
    double startSnrDb = 0.0;
    bool measuredOnWholeFile = true;
    bool cancelled = false;
    int candidateCount = 0; // distinct settings tried on the search sample
};

} // namespace tt
