#pragma once

#include <cstdint>

namespace tt {

// A run of frames of a sound, [firstFrame, endFrame), over which a candidate is measured. The
// model runs into it from rest, through a pre-roll before firstFrame that is not measured.
struct Stretch {
    std::int64_t firstFrame = 0;
    std::int64_t endFrame = 0;

    std::int64_t frameCount() const { return endFrame - firstFrame; }
    friend constexpr bool operator==(const Stretch&, const Stretch&) = default;
};

} // namespace tt
