#pragma once

#include "image/Image.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <span>

namespace tt {

// The miniature of the whole sound in the 600 x 100 overview image: a white box inside a black
// one-pixel border, and in grey the polyline from (0, 50) through every 16th frame f at
// x = round(f * (600 / frameCount)), y = round(value * (80 / 2^bits) + 50), where value is the
// sum of channels 1 and 2 halved toward zero. Rounding is to nearest, halves to even.
//
// The whole image is repainted, so nothing of an earlier drawing survives. The cost is one read
// per 16 frames and a fixed number of line calls (two per pixel column), however long the file.
void drawOverviewStrip(Image& strip, const WaveHeader& header, std::span<const std::uint8_t> data,
    std::int64_t frameCount);

// Tints the columns firstColumn ... endColumn - 1 blue (a quarter of the way), frame and polyline
// included: the selected part of the sound. Columns outside the strip are skipped.
void shadeColumns(Image& strip, int firstColumn, int endColumn);

} // namespace tt
