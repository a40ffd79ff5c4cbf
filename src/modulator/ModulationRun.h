#pragma once
// The modulation run: frame bytes in, one ModulatedFrame out per frame a modulator decides. The
// conversion pass, the settings search's stretches and the zoom view all run the pin this way;
// they differ only in what they do with each decided frame.
//
// A modulator (GreedyModulator, LookAheadPlayer) offers take(pin, target, play), which steps the
// pin for every frame it decides and calls play(target, error) after each, takeFrames(pin, count,
// targetAt, play), the same for count frames whose targets it asks for, flush(pin, play) for
// the frames still open after the last target, delayFrames() and decidedFrames(). Adding one
// takes its class, its row in ModulatorKind.h and its entries in AnyModulator and modulatorFor
// below.

#include "modulator/GreedyModulator.h"
#include "modulator/LookAheadPlayer.h"
#include "modulator/ModulatorKind.h"
#include "modulator/PinModel.h"
#include "wave/LevelRounding.h"
#include "wave/SampleFormat.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <variant>

namespace tt {

using AnyModulator = std::variant<GreedyModulator, LookAheadPlayer>;

// The modulator of a kind, starting from the pin at rest.
inline AnyModulator modulatorFor(ModulatorKind kind, const PinModel& pin)
{
    switch (kind) {
    case ModulatorKind::LookAhead:
        return LookAheadPlayer(pin);
    case ModulatorKind::Greedy:
        break;
    }
    return GreedyModulator(pin);
}

// Calls f(layout, modulator) with the header's FrameLayout and the modulator's own class: the
// one place a run is specialised for its samples, channels (ByChannelCount, see withFrameLayout)
// and modulator.
template <bool ByChannelCount = true, class F>
decltype(auto) withModulation(const WaveHeader& header, AnyModulator& modulator, F&& f)
{
    return withFrameLayout<ByChannelCount>(header, [&](const auto& layout) -> decltype(auto) {
        return std::visit(
            [&](auto& chosen) -> decltype(auto) { return f(layout, chosen); }, modulator);
    });
}

// Whether a frame layout has one or two channels, fixed at compile time (the pass's common
// layouts, see withFrameLayout).
template <class Layout> inline constexpr bool oneOrTwoChannels = false;
template <class Samples, int ChannelCount>
inline constexpr bool oneOrTwoChannels<FrameLayout<Samples, ChannelCount>> = ChannelCount == 1
    || ChannelCount == 2;

// One decided frame, after the pin has been stepped for it.
struct ModulatedFrame {
    std::int64_t index; // 1-based: the modulator's decidedFrames()
    double target;
    bool down; // the drive, which is the output bit
    double error; // the absolute error PinModel::step returns
    std::int32_t level; // the model level rounded (roundLevel): what the image stores
    double played; // the level the image sample of `level` plays
};

// Takes `frames` frames from `in` into the modulator, and with `flush` then decides the frames
// still open; calls play(const ModulatedFrame&) for each decided frame, in frame order. The pin
// and the modulator carry on from where the last run left them.
template <class Layout, class Modulator, class Play>
[[gnu::always_inline]] inline void runModulation(const Layout& layout, const std::uint8_t* in,
    std::int64_t frames, bool flush, PinModel& pin, Modulator& modulator, Play&& play)
{
    using Samples = typename Layout::Samples;
    const auto decided = [&](double target, double error) {
        const std::int32_t level = roundLevel(pin.modelLevel);
        play(ModulatedFrame { modulator.decidedFrames(), target, pin.outputBit(), error, level,
            double(Samples::playedLevel(level)) });
    };
    const std::ptrdiff_t strideBytes = layout.strideBytes();
    const auto targetAt = [&](std::int64_t frame) {
        const ChannelPair samples = layout.read(in + frame * strideBytes);
        if constexpr (oneOrTwoChannels<Layout>) {
            return pin.targetOfOneOrTwoChannels(samples);
        } else {
            return pin.targetOf(samples);
        }
    };
    modulator.takeFrames(pin, frames, targetAt, decided);
    if (flush) {
        modulator.flush(pin, decided);
    }
}

} // namespace tt
