#pragma once
// Moving the zoom view through the sound by frames. Every view start these functions give is a
// multiple of the grid spacing, so a grid line stays in column 0, and from the first to the last
// view every frame of the file comes into view.

#include "view/ViewStep.h"

#include <cstdint>

namespace tt {

// The view start where the pointer's last column puts the view: its last frame is then in view
// (with at most 23 frames before it). 0 for a sound of fewer than 32 frames.
std::int64_t lastViewStart(std::int64_t frameCount);

// The view start after the step, limited to 0 ... lastViewStart(frameCount).
std::int64_t steppedViewStart(std::int64_t viewStart, ViewStep step, std::int64_t frameCount);

} // namespace tt
