#pragma once

#include <cstdint>

namespace tt {

// The stretch of frames the zoom view shows. Column 0 shows frame viewStart; the model starts
// from rest at frame viewStart - preRollFrames and runs, undrawn, up to the first column.
struct ViewPlacement {
    std::int64_t viewStart = 0;
    std::int64_t preRollFrames = 0;
};

// The view's first frame for a pointer column in the overview band (values outside 0 ... 599
// are taken as the nearest end). The cursor's frame, (cursorX + 1) / 600 of the way into the
// file rounded half to even, is truncated to a grid line and the view starts 16 frames before
// that, so the cursor's frame lies in columns 16 ... 23. Near the start of the file the view
// starts at frame 0, so the result is 0 or a multiple of 8 of at least 16.
std::int64_t viewStartAtColumn(int cursorX, std::int64_t frameCount);

// A view that starts at viewStart (0 for a negative one), run in with as many of the 16 pre-roll
// frames as lie in the file before it.
ViewPlacement placeViewAt(std::int64_t viewStart);

} // namespace tt
