#pragma once

namespace tt {

// What the event loop remembers between events.
struct ShellState {
    bool dragActive = false; // the left button went down on the zoom image and is still held
    bool redrawRequested = false; // redraw the zoom view once the current event is handled
    int cursorX = 0; // cursor column in the zoom image, 0 ... 599; changed only by dragging
};

} // namespace tt
