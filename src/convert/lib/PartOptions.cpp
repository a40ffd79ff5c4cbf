#include "convert/lib/PartOptions.h"

#include "app/SilenceTrim.h"
#include "convert/lib/NumberArgument.h"
#include "text/TextFormat.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace tt {

std::int64_t FramePosition::frameAt(std::uint32_t rateHz) const
{
    if (!seconds) {
        return frames;
    }
    // Far beyond any sound's end, yet within int64.
    constexpr double largest = 4.0e18;
    return roundHalfEven(std::min(*seconds * double(rateHz), largest));
}

bool readFramePosition(
    std::string_view name, std::string_view text, FramePosition& out, std::string& error)
{
    out = {};
    const bool inSeconds = text.ends_with('s');
    const std::string_view number = inSeconds ? text.substr(0, text.size() - 1) : text;
    bool valid = false;
    if (inSeconds && isDecimalNumber(number)) {
        const double seconds = std::strtod(std::string(number).c_str(), nullptr);
        valid = seconds >= 0.0 && seconds <= 1.0e12;
        out.seconds = seconds;
    } else if (const std::optional<std::int64_t> frames = parseWholeNumber(number); !inSeconds) {
        valid = frames && *frames >= 0;
        out.frames = frames.value_or(0);
    }
    if (!valid) {
        error = std::string(name) + " takes a frame (0, 1, ...) or seconds with an s (1.5s), not '"
            + std::string(text) + "'";
        return false;
    }
    out.text = std::string(text);
    return true;
}

ExitStatus choosePart(
    const PartOptions& options, SampleStream& input, FrameRange& part, std::string& error)
{
    part = {};
    if (!options.chosen()) {
        return ExitStatus::Done;
    }
    const std::uint32_t rateHz = input.header().sampleRateHz;
    const std::int64_t frames = framesHeld(input.header(), input.sizeBytes());
    FrameRange chosen { options.start.given() ? options.start.frameAt(rateHz) : 0,
        options.end.given() ? options.end.frameAt(rateHz) : frames };
    for (const auto& [name, position, frame] :
        { std::tuple { "--start", &options.start, chosen.first },
            std::tuple { "--end", &options.end, chosen.end } }) {
        if (frame > frames) {
            error = std::string(name) + " " + position->text + " lies beyond the sound's end ("
                + toDecimal(frames) + " frames at " + toDecimal(rateHz) + " Hz)";
            return ExitStatus::UsageError;
        }
    }
    if (chosen.empty()) {
        error = "--start " + (options.start.given() ? options.start.text : "0") + " and --end "
            + (options.end.given() ? options.end.text : toDecimal(frames)) + " choose no frames";
        return ExitStatus::UsageError;
    }
    if (options.trimSilence) {
        FrameRange loud;
        if (!findLoudPart(input, chosen, loud)) {
            error = "can't read the input";
            return ExitStatus::InputRefused;
        }
        if (loud.empty()) {
            error = "no frame is louder than " + formatFixed(silenceThresholdDbfs, 0)
                + " dBFS; --trim-silence leaves nothing";
            return ExitStatus::InputRefused;
        }
        chosen = loud;
    }
    // The whole sound is no part: its outputs are those without the options, byte for byte.
    part = chosen == FrameRange { 0, frames } ? FrameRange {} : chosen;
    return ExitStatus::Done;
}

std::string partInfoText(FrameRange part, std::int64_t soundFrames, std::uint32_t rateHz)
{
    return "Part: frames " + toDecimal(part.first) + " … " + toDecimal(part.end) + " of "
        + toDecimal(soundFrames) + " ("
        + formatFixed(rateHz > 0 ? double(part.length()) / double(rateHz) : 0.0, 3) + " s)";
}

} // namespace tt
