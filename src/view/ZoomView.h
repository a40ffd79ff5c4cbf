#pragma once

#include "image/Image.h"
#include "modulator/ModulatorSettings.h"
#include "wave/ChunkHeader.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <span>

namespace tt {

// Redraws the 600 x 300 zoom view: in rows 0 ... 199 the input level (red), the pin model's
// level (green line over dark-green bars) and its output bits for the forty frames from
// viewStart on (see placeViewAt; limited to 0 ... lastViewStart), with a grid and frame numbers
// every eighth frame; in rows 200 ... 299 the overview band (see redrawOverviewBand).
//
// The model runs afresh from rest on every call, so a change of settings or position shows at
// once. With the look-ahead modulator the search runs on past the last column by its decision
// delay (within the file), so a view at the start of the file shows the bits the export writes.
// Reads only the bytes of data's block that lie within data.sizeBytes and allocates nothing on
// the heap once the digits' glyphs have been drawn once.
//
// Returns false, leaving zoom untouched, when nothing is loaded; true after drawing.
bool redrawZoomView(Image& zoom, const Image& overviewStrip, const WaveHeader& header,
    const ChunkHeader& data, const ModulatorSettings& settings, std::int64_t viewStart,
    std::span<const std::int64_t> playingFrames = {});

// Rows 200 ... 299 of the zoom view alone: a copy of the overview strip, the red three-pixel
// marker at the view's first frame and a thin blue marker at each playing frame. A copy and a
// few boxes, cheap enough to follow a playing sound many times a second.
void redrawOverviewBand(Image& zoom, const Image& overviewStrip, std::int64_t frameCount,
    std::int64_t viewStart, std::span<const std::int64_t> playingFrames = {});

// The overview column of a frame: frame * 600 / frameCount rounded half to even, within
// 0 ... 599.
int overviewColumnOf(std::int64_t frame, std::int64_t frameCount);

} // namespace tt
