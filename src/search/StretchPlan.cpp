#include "search/StretchPlan.h"

#include <algorithm>

namespace tt {

std::vector<Stretch> spreadStretches(std::int64_t frameCount, std::int64_t segmentFrames,
    std::int64_t measuredFrames, int stretchCount)
{
    const std::vector<Stretch> whole { { 0, frameCount } };
    if (frameCount <= measuredFrames || stretchCount < 1 || segmentFrames < 1) {
        return whole;
    }
    const std::int64_t soundSegments = frameCount / segmentFrames;
    const std::int64_t stretchSegments
        = std::max<std::int64_t>(1, measuredFrames / segmentFrames / stretchCount);
    const std::int64_t count
        = std::min<std::int64_t>(stretchCount, soundSegments / stretchSegments);
    if (count < 1) {
        return whole;
    }
    std::vector<Stretch> stretches;
    stretches.reserve(std::size_t(count));
    std::int64_t previousEnd = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        // Centred in the i-th of `count` equal parts of the sound, counted in segments.
        const std::int64_t centre = (2 * i + 1) * soundSegments / (2 * count);
        const std::int64_t first = std::max(previousEnd,
            std::clamp<std::int64_t>(
                centre - stretchSegments / 2, 0, soundSegments - stretchSegments));
        previousEnd = first + stretchSegments;
        stretches.push_back({ first * segmentFrames, previousEnd * segmentFrames });
    }
    return stretches;
}

} // namespace tt
