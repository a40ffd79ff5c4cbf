#pragma once
// The window's selection: a part of the loaded sound in frames 0 ... soundFrames (framesHeld),
// marked in the overview band and by the Sound menu. An empty range is no selection: the whole
// sound, which the selection of every frame equals and is normalised to.

#include "wave/FrameRange.h"

#include <cstdint>
#include <string>
#include <utility>

namespace tt {

// The range within the sound; empty when it is empty or the whole sound.
FrameRange normalisedSelection(FrameRange range, std::int64_t soundFrames);

// The frame boundary at a column of the overview band: the first column is the sound's start,
// the last its end, so a drag reaches both.
std::int64_t frameAtColumn(int column, std::int64_t soundFrames);

// Shift+click without a drag: the nearer end of the selection moves to the frame; without a
// selection the frames between the view's first frame and the clicked one are selected.
FrameRange clickedSelection(FrameRange selection, std::int64_t frame, std::int64_t viewFrame);

// Set Start and Set End at a frame: the other end stays unless the frame passes it, in which case
// the selection runs to the sound's end (Set Start) or from its start (Set End).
FrameRange selectionStartingAt(FrameRange selection, std::int64_t frame, std::int64_t soundFrames);
FrameRange selectionEndingAt(FrameRange selection, std::int64_t frame, std::int64_t soundFrames);

// The band's columns a selection covers, first and end (exclusive), at least one column.
std::pair<int, int> selectionColumns(FrameRange selection, std::int64_t soundFrames);

// The progress field's text for a selection, its length: "Selected 4000 frames, 0.181 s"; empty
// for none.
std::string selectionText(FrameRange selection, std::uint32_t rateHz);
// Its tool tip, the selection's place: "Selected frames 1000 … 5000 of 6000"; empty for none.
std::string selectionToolTip(FrameRange selection, std::int64_t soundFrames);

} // namespace tt
