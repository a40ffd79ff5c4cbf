#pragma once
// --start, --end and --trim-silence: the part of the input that is converted, chosen in frames
// or seconds of the sound as it is converted (after --rate).

#include "convert/lib/ExitStatus.h"
#include "wave/FrameRange.h"
#include "wave/SampleStream.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tt {

// A frame boundary as given: a whole number of frames, or seconds with an "s" suffix (1.5s).
struct FramePosition {
    std::string text; // as given; empty when not given
    std::int64_t frames = 0;
    std::optional<double> seconds;

    bool given() const { return !text.empty(); }
    // The frame at the rate, seconds rounded to the nearest frame (halves to even).
    std::int64_t frameAt(std::uint32_t rateHz) const;
};

// Reads a --start or --end value; false with `error` set for anything but a number of frames
// or seconds of at least 0.
bool readFramePosition(
    std::string_view name, std::string_view text, FramePosition& out, std::string& error);

struct PartOptions {
    FramePosition start; // default: the first frame
    FramePosition end; // the frame after the part; default: the sound's end
    bool trimSilence = false; // then the part's first to last frame louder than silence

    bool chosen() const { return start.given() || end.given() || trimSilence; }
};

// The frames the options choose within the input; `part` empty for the whole sound. UsageError
// for a boundary beyond the sound's end or an end before the start, InputRefused for a sound
// unreadable or without a frame louder than silence; `error` says why.
ExitStatus choosePart(
    const PartOptions& options, SampleStream& input, FrameRange& part, std::string& error);

// The information line on the part: "Part: frames 1000 … 5000 of 88200 (0.181 s)".
std::string partInfoText(FrameRange part, std::int64_t soundFrames, std::uint32_t rateHz);

} // namespace tt
