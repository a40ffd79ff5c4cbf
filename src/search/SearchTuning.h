#pragma once

#include "modulator/ModulatorKind.h"

#include <cstdint>

namespace tt {

// The budgets of the settings search. The defaults keep a search within about a second on two
// cores for a sound of any length; tests and benchmarks shrink them to make a short sound behave
// like a long one. Each sample is the whole sound when the sound is no longer than it.
struct SearchTuning {
    // Every candidate is measured on this many frames, in stretches spread over the sound.
    std::int64_t sampleFrames = std::int64_t(1) << 18;
    int sampleStretchCount = 64;
    // The best few candidates on that sample are measured again on this larger sample.
    std::int64_t confirmFrames = std::int64_t(1) << 23;
    int confirmStretchCount = 256;
    int confirmCount = 3;
    // The best of those and the starting settings are measured on the whole sound, or on a
    // sample of this many frames when the sound is longer.
    std::int64_t wholeFileFrameLimit = std::int64_t(1) << 25;
    int finalStretchCount = 1024;
    // Worker threads; 0 for one per core.
    int threadCount = 0;

    // The defaults for a modulator: a modulator that costs more per frame than the greedy model
    // gets its confirmation sample and its whole-file limit shrunk by that factor (the sample
    // every candidate is measured on stays, so it finds as well).
    static SearchTuning forModulator(ModulatorKind modulator)
    {
        SearchTuning tuning;
        const int costFactor = modulatorInfo(modulator).searchCostFactor;
        tuning.confirmFrames /= costFactor;
        tuning.wholeFileFrameLimit /= costFactor;
        return tuning;
    }
};

} // namespace tt
