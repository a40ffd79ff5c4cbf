#pragma once

#include "modulator/LookAheadModulator.h"
#include "modulator/PinModel.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace tt {

// The look-ahead modulator of the modulation run (the interface GreedyModulator describes): the
// search fed target by target, which steps the pin with each decided drive and the target of its
// own frame, kept here until then, so that the frame is not read a second time. Holds everything
// in fixed arrays.
//
// The targets go to the search batchFrames at a time (LookAheadModulator::takeMany), which keeps
// its state in registers across a batch and leaves the pass's loop a call only once a batch. The
// drives a batch commits are queued and played one per frame taken, so that a frame is decided
// exactly delayFrames() after it was taken, the search's delay and a batch less one later: each
// take decides at most one frame, as the conversion's output room assumes.
class LookAheadPlayer {
public:
    static constexpr int batchFrames = 64;

    explicit LookAheadPlayer(const PinModel& pin)
        : search_(pin)
    {
    }

    // How many frames after it is taken a frame is decided.
    int delayFrames() const { return search_.delayFrames() + batchFrames - 1; }
    // Frames decided so far; while `play` runs, the 1-based index of the frame it plays.
    std::int64_t decidedFrames() const { return decidedFrames_; }

    // Takes the next frame's target; when that decides a frame (delayFrames back), steps the pin
    // with its drive and calls play(target of that frame, error).
    template <class Play> void take(PinModel& pin, double target, Play&& play)
    {
        takeFrames(
            pin, 1, [target](std::int64_t) { return target; }, play);
    }

    // Takes `count` frames, the i-th with the target targetAt(i): the same frames decided, and
    // played in the same order, as take() for each in turn. The targets up to the end of a
    // batch are gathered, searched and played in loops of their own, none of which calls out,
    // so that the caller's state can stay in registers through them.
    template <class TargetAt, class Play>
    void takeFrames(PinModel& pin, std::int64_t count, TargetAt&& targetAt, Play&& play)
    {
        for (std::int64_t frame = 0; frame < count;) {
            const std::int64_t open = batchFrames - (takenFrames_ & (batchFrames - 1));
            const std::int64_t end = std::min(count, frame + open);
            for (; frame < end; ++frame) {
                pendingTargets_[std::size_t(takenFrames_++) & pendingMask] = targetAt(frame);
            }
            if ((takenFrames_ & (batchFrames - 1)) == 0) {
                search(batchFrames);
            }
            // Every frame delayFrames() or more back: its batch, the one just completed or an
            // earlier one, has been searched. take() decides one frame at most, the frames
            // taken here one each.
            for (std::int64_t due = takenFrames_ - decidedFrames_ - delayFrames(); due > 0; --due) {
                decide(pin, play);
            }
        }
    }

    // After the last target: decides every frame still open, in frame order.
    template <class Play> void flush(PinModel& pin, Play&& play)
    {
        search(int(takenFrames_ & (batchFrames - 1)));
        while (decidedFrames_ < searchedDecided_) {
            decide(pin, play);
        }
        bool down = false;
        while (search_.flush(down)) {
            queue(down, search_.playedLevel());
            decide(pin, play);
        }
    }

private:
    // The last `count` targets taken (those since the last batch) to the search; the drives it
    // commits and the levels they give to the queue.
    void search(int count)
    {
        int decided = 0;
        std::array<double, batchFrames> levels;
        const std::uint64_t drives
            = search_.takeMany(&pendingTargets_[std::size_t(takenFrames_ - count) & pendingMask],
                count, decided, levels.data());
        for (int i = 0; i < decided; ++i) {
            queue(((drives >> i) & 1u) != 0, levels[std::size_t(i)]);
        }
    }

    void queue(bool down, double level)
    {
        const auto at = std::size_t(searchedDecided_++) & pendingMask;
        queuedDrives_[at] = down;
        queuedLevels_[at] = level;
    }

    // The pin takes the level the search worked out for the frame, which spares the frames
    // played here a chain from one to the next.
    template <class Play> void decide(PinModel& pin, Play& play)
    {
        const auto at = std::size_t(decidedFrames_++) & pendingMask;
        const double target = pendingTargets_[at];
        const double error = pin.step(target, queuedDrives_[at], queuedLevels_[at]);
        play(target, error);
    }

    // Enough for the frames between the oldest undecided one and the newest taken: takeFrames
    // gathers up to a batch of targets before it plays the frames due, so at most delayFrames()
    // + batchFrames (the search's delay and two batches). A batch never wraps round the end:
    // batches start at multiples of batchFrames, which divides the count.
    static constexpr std::size_t pendingCount = 256;
    static constexpr std::size_t pendingMask = pendingCount - 1;
    static_assert(pendingCount >= std::size_t(LookAheadModulator::maxDelayFrames + 2 * batchFrames)
        && (pendingCount & pendingMask) == 0 && pendingCount % batchFrames == 0
        && batchFrames <= LookAheadModulator::maxTakenAtOnce);

    LookAheadModulator search_;
    std::array<double, pendingCount> pendingTargets_ {}; // by frame index modulo the count
    // The drives decided and not yet played and the levels they give, by frame index like the
    // targets.
    std::array<bool, pendingCount> queuedDrives_ {};
    std::array<double, pendingCount> queuedLevels_ {};
    std::int64_t takenFrames_ = 0;
    std::int64_t searchedDecided_ = 0; // frames the search has decided
    std::int64_t decidedFrames_ = 0; // frames played
};

} // namespace tt
