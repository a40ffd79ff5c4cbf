#include "view/ZoomView.h"

#include "modulator/ModulationRun.h"
#include "modulator/PinModel.h"
#include "modulator/WholeFileConversion.h"
#include "text/TextFormat.h"
#include "view/ViewNavigation.h"
#include "view/ViewPlacement.h"
#include "view/ZoomLayout.h"
#include "wave/FrameCount.h"

#include <algorithm>
#include <cstdint>
#include <span>

namespace tt {
namespace {

    constexpr Rgb backgroundColour { 32, 32, 32 };
    constexpr Rgb gridColour { 128, 128, 128 };
    constexpr Rgb barColour { 32, 128, 32 };
    constexpr Rgb inputColour { 255, 0, 0 };
    constexpr Rgb modelColour { 0, 255, 0 };
    constexpr Rgb bitOneColour { 64, 255, 0 };
    constexpr Rgb bitZeroColour { 128, 128, 0 };
    constexpr Rgb markerColour { 255, 0, 0 };
    constexpr Rgb playMarkerColour { 0, 96, 255 };

} // namespace

bool redrawZoomView(Image& zoom, const Image& overviewStrip, const WaveHeader& header,
    const ChunkHeader& data, const ModulatorSettings& settings, std::int64_t viewStart,
    std::span<const std::int64_t> playingFrames)
{
    if (!data.isLoaded()) {
        return false;
    }
    const std::span<const std::uint8_t> bytes = data.bytes();
    const std::uint64_t availableBytes = std::min<std::uint64_t>(data.sizeBytes, bytes.size());
    const std::int64_t frames = frameCount(header, availableBytes);

    PinModel model(settings, header);
    const float levelScale = float(ZoomLayout::levelSpanPx / (2.0 * model.maxAmp));
    const auto plotRow = [levelScale](double level) {
        return int(roundHalfEven(level * double(levelScale) + double(ZoomLayout::levelZeroRow)));
    };

    zoom.fillBox(0, 0, ZoomLayout::widthPx, ZoomLayout::plotHeightPx, backgroundColour);
    for (const int row :
        { ZoomLayout::levelZeroRow, ZoomLayout::levelMinRow, ZoomLayout::digitRow }) {
        zoom.lineExtent(0, row, ZoomLayout::widthPx, 0, gridColour);
    }

    const ViewPlacement placement
        = placeViewAt(std::clamp<std::int64_t>(viewStart, 0, lastViewStart(frames)));
    const std::int64_t firstColumnFrame = placement.viewStart;
    const std::int64_t modelStart = firstColumnFrame - placement.preRollFrames;
    // The frame the model has just stepped through, in its column (pre-roll frames have none).
    const auto drawFrame = [&](std::int64_t frame) {
        const std::int64_t i = frame - firstColumnFrame;
        if (i < 0) {
            return;
        }
        const int left = int(i) * ZoomLayout::columnWidthPx;
        const int right = left + ZoomLayout::columnWidthPx;
        if (frame % ZoomLayout::gridSpacingFrames == 0) {
            zoom.lineBetween(left, 0, left, ZoomLayout::plotHeightPx, gridColour);
            // Short frame numbers stay in the string's own buffer: no heap allocation.
            zoom.drawText(left + ZoomLayout::labelOffsetPx, ZoomLayout::levelMinRow,
                toDecimal(frame), gridColour);
        }
        zoom.lineBetween(
            right, plotRow(model.modelLevel), right, ZoomLayout::plotHeightPx, barColour);
        const bool bit = model.outputBit();
        zoom.drawText(left + ZoomLayout::digitOffsetPx, ZoomLayout::digitRow, bit ? "1" : "0",
            bit ? bitOneColour : bitZeroColour);
        zoom.lineBetween(
            left, plotRow(model.previousTarget), right, plotRow(model.targetLevel), inputColour);
        zoom.lineBetween(
            left, plotRow(model.previousModel), right, plotRow(model.modelLevel), modelColour);
    };

    // The modulator runs delayFrames past the last column (within the file), so every drawn
    // frame gets the drive a conversion from the model's start would give it. It runs over the
    // frames a conversion walks: none for a header it cannot read.
    const std::int64_t modelFrames = conversionFrameCount(header, availableBytes, availableBytes);
    const std::int64_t drawEnd = std::min(firstColumnFrame + ZoomLayout::columnCount, modelFrames);
    AnyModulator modulator = modulatorFor(settings.modulator, model);
    withModulation<false>(header, modulator, [&](const auto& layout, auto& chosen) {
        const std::int64_t runEnd = std::min(drawEnd + chosen.delayFrames(), modelFrames);
        if (runEnd <= modelStart) {
            return;
        }
        // At the end of the file the cheapest candidate decides the frames still open.
        runModulation(layout, bytes.data() + modelStart * layout.strideBytes(), runEnd - modelStart,
            runEnd == modelFrames, model, chosen, [&](const ModulatedFrame& decided) {
                if (const std::int64_t frame = modelStart + decided.index - 1; frame < drawEnd) {
                    drawFrame(frame);
                }
            });
    });

    redrawOverviewBand(zoom, overviewStrip, frames, placement.viewStart, playingFrames);
    return true;
}

void redrawOverviewBand(Image& zoom, const Image& overviewStrip, std::int64_t frameCount,
    std::int64_t viewStart, std::span<const std::int64_t> playingFrames)
{
    zoom.copyFrom(overviewStrip, 0, ZoomLayout::stripTopPx);
    if (frameCount < 1) {
        return;
    }
    const int markerX = int(
        roundHalfEven(double(viewStart) * double(ZoomLayout::widthPx) / double(frameCount) - 1.0));
    zoom.fillBox(markerX, ZoomLayout::stripTopPx, ZoomLayout::markerWidthPx,
        ZoomLayout::stripHeightPx, markerColour);
    for (const std::int64_t frame : playingFrames) {
        zoom.fillBox(overviewColumnOf(frame, frameCount), ZoomLayout::stripTopPx, 1,
            ZoomLayout::stripHeightPx, playMarkerColour);
    }
}

int overviewColumnOf(std::int64_t frame, std::int64_t frameCount)
{
    if (frameCount < 1) {
        return 0;
    }
    const std::int64_t column
        = roundHalfEven(double(frame) * double(ZoomLayout::widthPx) / double(frameCount));
    return int(std::clamp<std::int64_t>(column, 0, ZoomLayout::widthPx - 1));
}

} // namespace tt
