#include "view/ViewPlacement.h"

#include "platform/toolkit/text/TextFormat.h"
#include "view/ZoomLayout.h"

#include <algorithm>

namespace tt {

ViewPlacement placeView(int cursorX, std::int64_t frameCount)
{
    const std::int64_t cursorPositions
        = std::int64_t(std::clamp(cursorX, 0, ZoomLayout::widthPx - 1)) + 1;
    // The product is formed in 64 bits so it stays exact for every file that fits in memory.
    const std::int64_t cursorFrame
        = roundHalfEven(double(cursorPositions * std::max<std::int64_t>(frameCount, 0))
            / double(ZoomLayout::widthPx));
    const std::int64_t alignedFrame
        = cursorFrame / ZoomLayout::gridSpacingFrames * ZoomLayout::gridSpacingFrames;

    ViewPlacement placement;
    placement.viewStart = alignedFrame - ZoomLayout::preRollFrames;
    placement.preRollFrames = ZoomLayout::preRollFrames;
    if (placement.viewStart < ZoomLayout::preRollFrames) {
        placement.viewStart = 0;
        placement.preRollFrames = 0;
    }
    return placement;
}

} // namespace tt
