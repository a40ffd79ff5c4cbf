#pragma once

#include "search/Stretch.h"

#include <cstdint>
#include <vector>

namespace tt {

// A sample of a sound: stretchCount stretches of whole segments, spread evenly over its
// frameCount frames and together about measuredFrames long. Stretches start on the segment
// bounds of a measure over the whole sound (multiples of segmentFrames from frame 0), so each of
// their segments is one of its segments. A sound of at most measuredFrames frames (or too short
// to split) is one stretch over all of it.
std::vector<Stretch> spreadStretches(std::int64_t frameCount, std::int64_t segmentFrames,
    std::int64_t measuredFrames, int stretchCount);

} // namespace tt
