#pragma once
// The settings search: finds the Value 1 (leak) and Value 2 (step) that give the loaded sound
// the highest audible SNR (AudibleSnr) at the Volume the user has set; or, for a fixed circuit,
// the Volume that does at the Value 1 and Value 2 set.
//
// Strategy, bounded in time for a sound of any length (the budgets are SearchTuning's):
//  1. Every candidate is measured on a fixed sample: 2^18 frames (about 6 s at 44.1 kHz) in 64
//     stretches spread evenly over the sound, each run after a pre-roll of about 8 / leak frames
//     (the level forgets its start by the leak per frame). A sound no longer is measured whole.
//  2. A coarse grid in log(leak) x log(settle level): 9000 - Value 1 (the leak is 100 / that
//     per frame) at 8999, 3000, 1000, 330 and 100, against the level the pin settles at,
//     step / leak, from 1/256 of full scale to 4 times it; the starting settings are measured
//     with it. (The good settings lie where the settle level matches the sound's loudness: a
//     thin diagonal in log(step) x log(leak), a broad band in these coordinates.)
//  3. A compass search on the integer controls from the grid's best point: it tries a step
//     larger and smaller by a factor, and a leak larger and smaller by a factor, once with the
//     step moved along so that the settle level stays and once with the step kept, moves to the
//     best that improves, and takes the factor's square root when none does, down to changes of
//     0.4 % or 1.
//  The Volume-only search measures Volumes from 10 to 400 % and refines the best the same way.
//  4. Confirmation. The best three on the sample and the starting settings are measured on the
//     whole sound when it has at most 2^23 frames (3.2 min at 44.1 kHz). A longer sound is a
//     long file: the three are measured on a larger sample instead (2^23 frames in 256
//     stretches), and only the best of them and the starting settings run over the whole sound,
//     or, beyond 2^25 frames (12.7 min at 44.1 kHz), over a sample of 2^25 frames in 1024
//     stretches, which the result reports. With the look-ahead modulator, four times dearer,
//     these two bounds are a quarter as large. The starting settings win ties, so a search never
//     makes a sound worse by its own measure.
//
// Candidates are measured in parallel on all cores. Every candidate's score depends only on the
// sound and the settings, and ties are broken in a fixed order, so the same sound and Volume
// always give the same settings, however the threads are scheduled.

#include "modulator/ModulatorSettings.h"
#include "search/SearchProgress.h"
#include "search/SearchResult.h"
#include "search/SearchTuning.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <span>

namespace tt {

// What a search may change.
enum class SearchScope {
    LeakAndStep, // Value 1 and Value 2, at the Volume set
    VolumeOnly, // the Volume, for a fixed circuit: Value 1 and Value 2 stay
};

// Searches Value 1 and Value 2 for the data block at start.volume (or the Volume alone),
// starting from `start`'s values. `progress` (optional) is told the percentage on the calling
// thread and may cancel: the result then holds the starting settings and cancelled. A sound without
// frames keeps the starting settings.
SearchResult findBestSettings(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& start, const SearchProgress& progress, const SearchTuning& tuning,
    SearchScope scope = SearchScope::LeakAndStep);

// The same with the budgets for start.modulator (SearchTuning::forModulator).
SearchResult findBestSettings(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& start, const SearchProgress& progress = {},
    SearchScope scope = SearchScope::LeakAndStep);

} // namespace tt
