#pragma once

namespace tt {

// A move of the zoom view through the sound, as the keys ask for it.
enum class ViewStep {
    GridBack, // one grid step (8 frames) towards the start
    GridForward,
    PageBack, // a whole view (40 frames) towards the start
    PageForward,
    Start, // to the first frame
    End, // to where the last frame is in view
};

} // namespace tt
