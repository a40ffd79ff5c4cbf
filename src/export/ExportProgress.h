#pragma once

#include <cstdint>
#include <functional>

namespace tt {

// Receives the export's progress in percent (0 ... 100) whenever the value changes, and 0 once
// more when the export ends, so a window can repaint its progress bar only when it has to.
using ProgressCallback = std::function<void(int percent)>;

// frameIndex * 100 / frameCount rounded to the nearest integer, halves to even, computed exactly
// in integers (a floating-point quotient could land on the wrong side of a half).
inline int progressPercent(std::int64_t frameIndex, std::int64_t frameCount)
{
    if (frameCount <= 0) {
        return 0;
    }
    const std::int64_t scaled = frameIndex * 100;
    std::int64_t quotient = scaled / frameCount;
    const std::int64_t twiceRemainder = 2 * (scaled % frameCount);
    if (twiceRemainder > frameCount || (twiceRemainder == frameCount && quotient % 2 != 0)) {
        ++quotient;
    }
    return static_cast<int>(quotient);
}

} // namespace tt
