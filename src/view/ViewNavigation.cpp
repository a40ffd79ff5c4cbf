#include "view/ViewNavigation.h"

#include "view/ViewPlacement.h"
#include "view/ZoomLayout.h"

#include <algorithm>

namespace tt {

std::int64_t lastViewStart(std::int64_t frameCount)
{
    return viewStartAtColumn(ZoomLayout::widthPx - 1, frameCount);
}

std::int64_t steppedViewStart(std::int64_t viewStart, ViewStep step, std::int64_t frameCount)
{
    constexpr std::int64_t gridFrames = ZoomLayout::gridSpacingFrames;
    constexpr std::int64_t pageFrames = ZoomLayout::columnCount;
    std::int64_t next = viewStart;
    switch (step) {
    case ViewStep::GridBack:
        next -= gridFrames;
        break;
    case ViewStep::GridForward:
        next += gridFrames;
        break;
    case ViewStep::PageBack:
        next -= pageFrames;
        break;
    case ViewStep::PageForward:
        next += pageFrames;
        break;
    case ViewStep::Start:
        next = 0;
        break;
    case ViewStep::End:
        next = lastViewStart(frameCount);
        break;
    }
    // A start off the grid (none of these functions makes one) moves onto it.
    next = next / gridFrames * gridFrames;
    return std::clamp<std::int64_t>(next, 0, lastViewStart(frameCount));
}

} // namespace tt
