#include "view/ZoomView.h"

#include "modulator/LookAheadPlayer.h"
#include "modulator/PinModel.h"
#include "text/TextFormat.h"
#include "view/ViewNavigation.h"
#include "view/ViewPlacement.h"
#include "view/ZoomLayout.h"
#include "wave/FrameCount.h"
#include "wave/FrameReader.h"

#include <algorithm>
#include <cstdint>
#include <limits>
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

    // Bytes readChannels touches from the start of a frame.
    std::int64_t bytesReadPerFrame(const WaveHeader& header)
    {
        const std::int64_t channelsRead = header.channelCount > 1 ? 2 : 1;
        return (header.bitsPerSample == 8 ? 1 : 2) * channelsRead;
    }

    // Frames whose reads stay inside the first availableBytes bytes. For 8- and 16-bit files
    // this is never less than frameCount; it only bounds headers with other bit depths.
    std::int64_t readableFrames(const WaveHeader& header, std::int64_t availableBytes)
    {
        const std::int64_t readBytes = bytesReadPerFrame(header);
        if (availableBytes < readBytes) {
            return 0;
        }
        const std::int64_t strideBytes = header.bytesPerFrame();
        if (strideBytes <= 0) {
            return std::numeric_limits<std::int64_t>::max();
        }
        return (availableBytes - readBytes) / strideBytes + 1;
    }

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
    const std::int64_t readableFrameEnd
        = std::min(frames, readableFrames(header, std::int64_t(availableBytes)));

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
    const std::int64_t drawEnd
        = std::min(firstColumnFrame + ZoomLayout::columnCount, readableFrameEnd);
    const std::int64_t strideBytes = header.bytesPerFrame();
    const auto targetAt = [&](std::int64_t frame) {
        return model.targetOf(readChannels(bytes.data() + frame * strideBytes, header));
    };
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

    if (settings.modulator == ModulatorKind::LookAhead) {
        // The search runs delayFrames past the last column (within the file), so every drawn
        // frame gets the drive a conversion from the model's start would give it.
        LookAheadPlayer search(model);
        const std::int64_t searchEnd = std::min(drawEnd + search.delayFrames(), readableFrameEnd);
        const auto play = [&](double target, bool down) {
            model.step(target, down);
            if (const std::int64_t frame = modelStart + search.decidedFrames() - 1;
                frame < drawEnd) {
                drawFrame(frame);
            }
        };
        for (std::int64_t frame = modelStart; frame < searchEnd; ++frame) {
            search.take(targetAt(frame), play);
        }
        // At the end of the file the cheapest candidate decides the frames still open.
        if (searchEnd == readableFrameEnd) {
            search.flush(play);
        }
    } else {
        for (std::int64_t frame = modelStart; frame < drawEnd; ++frame) {
            model.step(targetAt(frame));
            drawFrame(frame);
        }
    }

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
