#include "wave/overview/OverviewStrip.h"

#include "text/TextFormat.h"
#include "wave/FrameReader.h"
#include "wave/overview/OverviewLayout.h"

#include <algorithm>
#include <vector>

namespace tt {
namespace {

    constexpr Rgb background { 0, 0, 0 };
    constexpr Rgb paper { 255, 255, 255 };
    constexpr Rgb ink { 32, 32, 32 };
    constexpr std::int64_t frameStep = 16;
    constexpr double heightScalePx = 80.0;
    constexpr int centreRow = OverviewLayout::heightPx / 2;

    struct Point {
        int x = 0;
        int y = 0;
    };

    // The points of one pixel column: consecutive polyline points share a column because x never
    // decreases, so the segments between them cover exactly the rows from the lowest to the
    // highest point.
    struct Column {
        int x = 0;
        int minY = 0;
        int maxY = 0;
        Point last;
    };

    void drawColumn(Image& strip, const Column& column)
    {
        strip.lineBetween(column.x, column.minY, column.x, column.maxY, ink);
    }

} // namespace

void drawOverviewStrip(Image& strip, const WaveHeader& header, std::span<const std::uint8_t> data,
    std::int64_t frameCount)
{
    strip.fillBox(0, 0, strip.width(), strip.height(), background);
    strip.fillBox(1, 1, OverviewLayout::widthPx - 2, OverviewLayout::heightPx - 2, paper);

    const std::int64_t bytesPerFrame = header.bytesPerFrame();
    if (frameCount <= 0 || bytesPerFrame <= 0 || !knownSampleBits(header.bitsPerSample)) {
        return;
    }
    // Frames past the data are never read, whatever frameCount claims.
    const std::int64_t framesPresent = std::int64_t(data.size()) / bytesPerFrame;
    const std::int64_t lastFrame = std::min(frameCount, framesPresent) - 1;
    if (lastFrame < 0) {
        return;
    }
    const double scaleX = double(OverviewLayout::widthPx) / double(frameCount);
    const double scaleY = heightScalePx / double(1 << header.bitsPerSample);

    // The row of every value a frame can give (8-bit: -128..127; 16-bit, negated: -32767..32768),
    // rounded once, so that a long file is not rounded point by point.
    const std::int32_t lowestValue = -(std::int32_t(1) << (header.bitsPerSample - 1));
    std::vector<int> rowOfValue(std::size_t(-lowestValue) * 2 + 1);
    for (std::size_t i = 0; i < rowOfValue.size(); ++i) {
        const double value = double(lowestValue + std::int32_t(i));
        rowOfValue[i] = int(roundHalfEven(value * scaleY + double(centreRow)));
    }

    Column column { 0, centreRow, centreRow, { 0, centreRow } };
    for (std::int64_t f = 0; f <= lastFrame; f += frameStep) {
        const ChannelPair pair = readChannels(data.data() + f * bytesPerFrame, header);
        const std::int32_t value = (pair.first + pair.second) / 2;
        // x never decreases, so below the current column's upper half-way mark it stays there.
        const double exactX = double(f) * scaleX;
        const Point point { exactX < double(column.x) + 0.5 ? column.x : int(roundHalfEven(exactX)),
            rowOfValue[std::size_t(value - lowestValue)] };
        if (point.x == column.x) {
            column.minY = std::min(column.minY, point.y);
            column.maxY = std::max(column.maxY, point.y);
        } else {
            drawColumn(strip, column);
            strip.lineBetween(column.last.x, column.last.y, point.x, point.y, ink);
            column.x = point.x;
            column.minY = point.y;
            column.maxY = point.y;
        }
        column.last = point;
    }
    drawColumn(strip, column);
}

void shadeColumns(Image& strip, int firstColumn, int endColumn)
{
    constexpr Rgb tint { 48, 112, 255 };
    const auto mix = [](std::uint8_t paint, std::uint8_t tintPart) {
        return std::uint8_t((3 * int(paint) + int(tintPart) + 2) / 4);
    };
    for (int x = std::max(firstColumn, 0); x < std::min(endColumn, strip.width()); ++x) {
        for (int y = 0; y < strip.height(); ++y) {
            const Rgb paint = strip.pixel(x, y);
            strip.fillBox(
                x, y, 1, 1, { mix(paint.r, tint.r), mix(paint.g, tint.g), mix(paint.b, tint.b) });
        }
    }
}

} // namespace tt
