#pragma once

#include "modulator/PinModel.h"

#include <cstdint>

namespace tt {

// The greedy modulator: drives up whenever the target lies above the level, deciding every frame
// as it is taken (PinModel::step(target) makes the choice). The interface every modulator of the
// modulation run offers (ModulationRun.h): take() steps the pin for each frame it decides and then
// calls play(target of that frame, its error as PinModel::step returns it); takeFrames() does
// that for many frames; flush() decides the frames still open after the last target.
class GreedyModulator {
public:
    explicit GreedyModulator(const PinModel& /*pin*/) { }

    static constexpr int delayFrames() { return 0; }
    // Frames decided so far; while `play` runs, the 1-based index of the frame it plays.
    std::int64_t decidedFrames() const { return decidedFrames_; }

    template <class Play>
    [[gnu::always_inline]] void take(PinModel& pin, double target, Play&& play)
    {
        const double error = pin.step(target);
        ++decidedFrames_;
        play(target, error);
    }

    // Takes `count` frames, the i-th with the target targetAt(i): take() for each in turn.
    template <class TargetAt, class Play>
    [[gnu::always_inline]] void takeFrames(
        PinModel& pin, std::int64_t count, TargetAt&& targetAt, Play&& play)
    {
        for (std::int64_t i = 0; i < count; ++i) {
            take(pin, targetAt(i), play);
        }
    }

    template <class Play> void flush(PinModel& /*pin*/, Play&& /*play*/) { }

private:
    std::int64_t decidedFrames_ = 0;
};

} // namespace tt
