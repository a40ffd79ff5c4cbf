#pragma once

#include "modulator/ModulatorSettings.h"
#include "platform/toolkit/Image.h"
#include "wave/ChunkHeader.h"
#include "wave/WaveHeader.h"

namespace tt {

// Redraws the 600 x 300 zoom view: in rows 0 ... 199 the input level (red), the pin model's
// level (green line over dark-green bars) and its output bits for the forty frames at the
// cursor, with a grid and frame numbers every eighth frame; in rows 200 ... 299 a copy of the
// overview strip with a red marker at the view's first frame.
//
// The model runs afresh from rest on every call, so a change of settings or cursor shows at
// once. With the look-ahead modulator the search runs on past the last column by its decision
// delay (within the file), so a view at the start of the file shows the bits the export writes.
// Reads only the bytes of data's block that lie within data.sizeBytes and allocates nothing on
// the heap once the digits' glyphs have been drawn once.
//
// Returns false, leaving zoom untouched, when nothing is loaded; true after drawing.
bool redrawZoomView(Image& zoom, const Image& overviewStrip, const WaveHeader& header,
    const ChunkHeader& data, const ModulatorSettings& settings, int cursorX);

} // namespace tt
