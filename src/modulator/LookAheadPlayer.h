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
        pendingTargets_[std::size_t(takenFrames_++) & pendingMask] = target;
        if ((takenFrames_ & (batchFrames - 1)) == 0) {
            search(batchFrames);
        }
        // The frame delayFrames() back: its batch, the one it completed or an earlier one, has
        // been searched.
        if (takenFrames_ - decidedFrames_ > delayFrames()) {
            decide(pin, play);
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
            queuedDrives_[std::size_t(decidedFrames_) & pendingMask] = down ? -1.0 : 1.0;
            decide(pin, play);
        }
    }

private:
    // The last `count` targets taken (those since the last batch) to the search; the drives it
    // commits to the queue.
    void search(int count)
    {
        int decided = 0;
        const std::uint64_t drives = search_.takeMany(
            &pendingTargets_[std::size_t(takenFrames_ - count) & pendingMask], count, decided);
        for (int i = 0; i < decided; ++i) {
            const auto at = std::size_t(searchedDecided_ + i) & pendingMask;
            queuedDrives_[at] = 1.0 - 2.0 * double((drives >> i) & 1u); // arithmetic, no branch
        }
        searchedDecided_ += decided;
    }

    // A queued drive is a sign, negative for down: stepping the pin with the result of a
    // comparison lets the compiler choose the level without a branch, which the drives, as
    // unpredictable as the sound, would mispredict half the time.
    template <class Play> void decide(PinModel& pin, Play& play)
    {
        const auto at = std::size_t(decidedFrames_++) & pendingMask;
        const double target = pendingTargets_[at];
        const double error = pin.step(target, queuedDrives_[at] < 0.0);
        play(target, error);
    }

    // Enough for the frames between the oldest undecided one and the newest taken (at most
    // delayFrames + batchFrames), and a batch never wraps round the end: batches start at
    // multiples of batchFrames, which divides the count.
    static constexpr std::size_t pendingCount = 128;
    static constexpr std::size_t pendingMask = pendingCount - 1;
    static_assert(pendingCount >= std::size_t(LookAheadModulator::maxDelayFrames + batchFrames)
        && (pendingCount & pendingMask) == 0 && pendingCount % batchFrames == 0
        && batchFrames <= LookAheadModulator::maxTakenAtOnce);

    LookAheadModulator search_;
    std::array<double, pendingCount> pendingTargets_ {}; // by frame index modulo the count
    // The drives decided and not yet played: -1 down, +1 up, by frame index like the targets.
    std::array<double, pendingCount> queuedDrives_ {};
    std::int64_t takenFrames_ = 0;
    std::int64_t searchedDecided_ = 0; // frames the search has decided
    std::int64_t decidedFrames_ = 0; // frames played
};

} // namespace tt
