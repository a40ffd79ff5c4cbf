#pragma once

#include <cstdint>

namespace tt {

// The stretch of frames the zoom view shows for a cursor position. Column 0 shows frame
// viewStart; the model starts from rest at frame viewStart - preRollFrames and runs, undrawn,
// up to the first column.
struct ViewPlacement {
    std::int64_t viewStart = 0;
    std::int64_t preRollFrames = 0;
};

// cursorX is the cursor's pixel column in the overview band (values outside 0 ... 599 are
// taken as the nearest end). The cursor's frame, (cursorX + 1) / 600 of the way into the file
// rounded half to even, is truncated to a grid line and the view starts 16 frames before that,
// so the cursor's frame lies in columns 16 ... 23. Near the start of the file the view starts
// at frame 0 without pre-roll, so viewStart is 0 or a multiple of 8 of at least 16 and every
// pre-roll frame lies in the file.
ViewPlacement placeView(int cursorX, std::int64_t frameCount);

} // namespace tt
