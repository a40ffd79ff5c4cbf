#pragma once
// Trim silence: the part of a sound from its first to its last frame that is louder than
// silence, for the window's Sound ▸ Trim Silence and the command line's --trim-silence.

#include "wave/FrameRange.h"
#include "wave/SampleStream.h"

namespace tt {

// A frame is louder than silence when channel 1 or 2, as the model reads them (readChannels:
// before the Volume, full scale 32768 in 16 bits and 128 in 8 bits), lies more than this far
// below full scale in magnitude. At 16 bits that is |level| >= 33; at 8 bits every level but the
// centre's.
inline constexpr double silenceThresholdDbfs = -60.0;

// The frames of `within` (a range within the stream's frames; an empty one stands for all of
// them) from the first to the last frame louder than silence: empty when none is. One pass over
// the range in pieces. False when the stream could not be read.
bool findLoudPart(SampleStream& input, FrameRange within, FrameRange& loud);

} // namespace tt
