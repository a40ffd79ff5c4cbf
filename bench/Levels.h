#pragma once
// The levels a benchmark judges a one-bit sound by: the input as the pin model sees it (its
// targets) and what the one-bit sound plays, frame by frame, in sample units.

#include "modulator/MeasuredFrames.h"
#include "modulator/WholeFileConversion.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tt::bench {

struct Levels {
    std::vector<double> targets;
    std::vector<double> played;
};

// Converts the data with the settings and collects both runs of levels.
inline Levels levelsOf(
    const WaveHeader& header, std::span<const std::uint8_t> data, const ModulatorSettings& settings)
{
    std::vector<std::uint8_t> image(data.size());
    convertWholeFile(header, data, settings, image);
    Levels levels;
    forEachMeasuredFrame(header, data, settings, image, [&](double target, double played) {
        levels.targets.push_back(target);
        levels.played.push_back(played);
    });
    return levels;
}

} // namespace tt::bench
