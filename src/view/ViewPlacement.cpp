#include "view/ViewPlacement.h"

#include "text/TextFormat.h"
#include "view/ZoomLayout.h"

#include <algorithm>

namespace tt {

std::int64_t viewStartAtColumn(int cursorX, std::int64_t frameCount)
{
    const std::int64_t cursorPositions
        = std::int64_t(std::clamp(cursorX, 0, ZoomLayout::widthPx - 1)) + 1;
    // The product is formed in 64 bits so it stays exact for every file that fits in memory.
    const std::int64_t cursorFrame
        = roundHalfEven(double(cursorPositions * std::max<std::int64_t>(frameCount, 0))
            / double(ZoomLayout::widthPx));
    const std::int64_t alignedFrame
        = cursorFrame / ZoomLayout::gridSpacingFrames * ZoomLayout::gridSpacingFrames;
    const std::int64_t viewStart = alignedFrame - ZoomLayout::preRollFrames;
    return viewStart < ZoomLayout::preRollFrames ? 0 : viewStart;
}

ViewPlacement placeViewAt(std::int64_t viewStart)
{
    ViewPlacement placement;
    placement.viewStart = std::max<std::int64_t>(viewStart, 0);
    placement.preRollFrames
        = std::min<std::int64_t>(placement.viewStart, ZoomLayout::preRollFrames);
    return placement;
}

} // namespace tt
