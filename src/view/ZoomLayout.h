#pragma once

#include "wave/overview/OverviewLayout.h"

namespace tt {

// Geometry of the zoom view image: a 600 x 200 plot of forty frame columns above a copy of the
// 600 x 100 overview strip, which is also where the cursor is dragged.
struct ZoomLayout {
    static constexpr int widthPx = OverviewLayout::widthPx;
    static constexpr int plotHeightPx = 200;
    static constexpr int stripTopPx = plotHeightPx;
    static constexpr int stripHeightPx = OverviewLayout::heightPx;
    static constexpr int heightPx = stripTopPx + stripHeightPx;
    static constexpr int columnWidthPx = 15;
    static constexpr int columnCount = widthPx / columnWidthPx; // 40
    static constexpr int gridSpacingFrames = 8;
    // Frames run through the model before the first column so it does not start from rest.
    static constexpr int preRollFrames = 16;

    static constexpr int levelZeroRow = 100;
    static constexpr int levelMinRow = 10; // -maxAmp; the frame labels hang from here
    static constexpr int digitRow = 180; // the bit digits hang from here
    static constexpr double levelSpanPx = 180.0; // rows from -maxAmp to +maxAmp

    static constexpr int labelOffsetPx = 3; // from a column's left edge
    static constexpr int digitOffsetPx = 4;
    static constexpr int markerWidthPx = 3;
};

} // namespace tt
