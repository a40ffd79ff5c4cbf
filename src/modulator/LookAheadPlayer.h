#pragma once

#include "modulator/LookAheadModulator.h"
#include "modulator/PinModel.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tt {

// The look-ahead modulator of the modulation run (the interface GreedyModulator describes): the
// search fed target by target, which steps the pin with each decided drive and the target of its
// own frame, kept here until then, so that the frame is not read a second time. Holds everything
// in fixed arrays.
class LookAheadPlayer {
public:
    explicit LookAheadPlayer(const PinModel& pin)
        : search_(pin)
    {
    }

    int delayFrames() const { return search_.delayFrames(); }
    // Frames decided so far; while `play` runs, the 1-based index of the frame it plays.
    std::int64_t decidedFrames() const { return decidedFrames_; }

    // Takes the next frame's target; when that decides a frame (delayFrames back), steps the pin
    // with its drive and calls play(target of that frame, error).
    template <class Play> void take(PinModel& pin, double target, Play&& play)
    {
        pendingTargets_[std::size_t(takenFrames_++) & pendingMask] = target;
        bool down = false;
        if (search_.take(target, down)) {
            decide(pin, down, play);
        }
    }

    // After the last target: decides every frame still open, in frame order.
    template <class Play> void flush(PinModel& pin, Play&& play)
    {
        bool down = false;
        while (search_.flush(down)) {
            decide(pin, down, play);
        }
    }

private:
    template <class Play> void decide(PinModel& pin, bool down, Play& play)
    {
        const double target = pendingTargets_[std::size_t(decidedFrames_++) & pendingMask];
        const double error = pin.step(target, down);
        play(target, error);
    }

    // Enough for the frames between one taken and the one it decides (at most delayFrames + 1).
    static constexpr std::size_t pendingCount = 64;
    static constexpr std::size_t pendingMask = pendingCount - 1;
    static_assert(pendingCount > std::size_t(LookAheadModulator::maxDelayFrames)
        && (pendingCount & pendingMask) == 0);

    LookAheadModulator search_;
    std::array<double, pendingCount> pendingTargets_ {}; // by frame index modulo the count
    std::int64_t takenFrames_ = 0;
    std::int64_t decidedFrames_ = 0;
};

} // namespace tt
