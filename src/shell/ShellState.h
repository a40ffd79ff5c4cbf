#pragma once

#include "wave/FrameRange.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tt {

// What the event loop remembers between events.
struct ShellState {
    bool dragActive = false; // the left button went down on the zoom image and is still held
    // The drag has reached the overview band: from then on the pointer's column places the view,
    // wherever the pointer goes, until the button is released.
    bool dragFollows = false;
    bool redrawRequested = false; // redraw the zoom view once the current event is handled
    // The zoom view's first frame: 0 ... lastViewStart of the loaded sound, a multiple of 8.
    std::int64_t viewStart = 0;
    // The cursor's column in the overview band, 0 ... 599: where the pointer placed the view
    // last, or after a key move the column of the view's marker. A new sound's view is placed
    // from it.
    int cursorX = 0;
    // The frames being heard at the last look, one per playing sound, as frames of the loaded
    // sound; empty when silent.
    std::vector<std::int64_t> playingFrames;
    // The frames of the sound each slot was given (the wave slot's, the one-bit slot's), which
    // after Resample… may differ from the loaded sound's.
    std::array<std::int64_t, 2> slotFrameCounts {};
    // The first frame of the part each slot plays, in frames of the sound it was given.
    std::array<std::int64_t, 2> slotFirstFrames {};
    // Each slot was started and not stopped since: with Loop Playback it starts again at its end.
    std::array<bool, 2> slotStarted {};
    // A setting changed while the one-bit sound played: the figures of the settings it ends
    // with are shown once it stops, over the part it plays (the selection when it started).
    bool figuresPending = false;
    FrameRange figuresPart;

    // The part of the sound that playing, the saves and the search take (see SelectionMarks.h);
    // empty: the whole sound.
    FrameRange selection;
    // A Shift+press in the band marks: from the pressed frame (the anchor) to the pointer's while
    // the button is held; a press released where it went down is a Shift+click.
    bool marking = false;
    bool markMoved = false;
    std::int64_t markAnchor = 0;
};

} // namespace tt
