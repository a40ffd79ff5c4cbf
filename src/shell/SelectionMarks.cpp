#include "shell/SelectionMarks.h"

#include "text/TextFormat.h"
#include "wave/overview/OverviewLayout.h"

#include <algorithm>
#include <cstdlib>

namespace tt {

FrameRange normalisedSelection(FrameRange range, std::int64_t soundFrames)
{
    const FrameRange within = range.within(soundFrames);
    return within.empty() || within == FrameRange { 0, soundFrames } ? FrameRange {} : within;
}

std::int64_t frameAtColumn(int column, std::int64_t soundFrames)
{
    constexpr int lastColumn = OverviewLayout::widthPx - 1;
    const int clamped = std::clamp(column, 0, lastColumn);
    return roundHalfEven(double(clamped) * double(soundFrames) / double(lastColumn));
}

FrameRange clickedSelection(FrameRange selection, std::int64_t frame, std::int64_t viewFrame)
{
    if (selection.empty()) {
        return FrameRange::between(viewFrame, frame);
    }
    const bool nearerStart = std::abs(frame - selection.first) <= std::abs(frame - selection.end);
    return nearerStart ? FrameRange::between(frame, selection.end)
                       : FrameRange::between(selection.first, frame);
}

FrameRange selectionStartingAt(FrameRange selection, std::int64_t frame, std::int64_t soundFrames)
{
    const std::int64_t end = selection.empty() ? soundFrames : selection.end;
    return { frame, frame < end ? end : soundFrames };
}

FrameRange selectionEndingAt(FrameRange selection, std::int64_t frame, std::int64_t /*soundFrames*/)
{
    const std::int64_t first = selection.empty() ? 0 : selection.first;
    return { first < frame ? first : 0, frame };
}

std::pair<int, int> selectionColumns(FrameRange selection, std::int64_t soundFrames)
{
    if (soundFrames < 1) {
        return { 0, 0 };
    }
    const auto column = [soundFrames](std::int64_t frame) {
        return int(std::clamp<std::int64_t>(
            roundHalfEven(double(frame) * double(OverviewLayout::widthPx) / double(soundFrames)), 0,
            OverviewLayout::widthPx));
    };
    const int first = std::min(column(selection.first), OverviewLayout::widthPx - 1);
    return { first, std::max(column(selection.end), first + 1) };
}

std::string selectionText(FrameRange selection, std::uint32_t rateHz)
{
    if (selection.empty()) {
        return {};
    }
    return "Selected " + toDecimal(selection.length()) + " frames, "
        + formatFixed(rateHz > 0 ? double(selection.length()) / double(rateHz) : 0.0, 3) + " s";
}

std::string selectionToolTip(FrameRange selection, std::int64_t soundFrames)
{
    if (selection.empty()) {
        return {};
    }
    return "Selected frames " + toDecimal(selection.first) + " … " + toDecimal(selection.end)
        + " of " + toDecimal(soundFrames);
}

} // namespace tt
