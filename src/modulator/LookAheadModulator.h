#pragma once
// The look-ahead modulator: a lattice search over the pin's drive sequences that chooses each
// frame's drive only after it has seen the targets of the frames that follow.
//
// It keeps pathCount candidate levels, each the end of one drive sequence from the start, with
// its cost (the summed squared error of the level after each frame against that frame's target)
// and its last drives. From any level the pin reaches exactly two levels (PinModel::successors);
// the up successor of one candidate and the down successor of the candidate above nearly
// coincide, so pathCount + 1 new levels come from pathCount: the lowest is down from the lowest,
// the highest up from the highest, and each one between is the cheaper of up from the candidate
// below and down from the one above, a tie going to down. Of the two ends the dearer one is
// dropped (the top one when they cost the same), and the least cost is subtracted from all.
//
// Once delayFrames more frames have been taken, the drive of the frame delayFrames back is
// committed from the cheapest candidate, and every candidate whose sequence drove that frame the
// other way is discarded. Without the discard, merges would stitch sequences together that no
// single drive sequence produces, and near the clamp the played level drifts far from the
// candidates' levels.
//
// The candidates stay sorted while the update preserves the order of levels (Value 1 below
// 8900). Above that the leak exceeds the level and the update reverses their order; the lattice
// still merges by position, which makes its merges cruder but leaves every candidate a real drive
// sequence with its true cost (walking the reversed candidates from the top measured the same).
// With Value 1 at 9000 (an infinite leak) every up drive lands on +maxAmp and every down drive
// on -maxAmp: the search then simply chooses between the two limits.
//
// Deterministic: the same targets and settings give the same drives on every machine. Holds
// everything in fixed arrays: no allocation at all.

#include "modulator/LookAheadLanes.h"
#include "modulator/PinModel.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

namespace tt {

class LookAheadModulator {
public:
    static constexpr int defaultPathCount = 8;
    static constexpr int defaultDelayFrames = 32;
    static constexpr int maxPathCount = 32;
    static constexpr int maxDelayFrames = 63; // a candidate's drives fit one 64-bit word
    static constexpr int maxTakenAtOnce = 64; // the drives of one takeMany() fit one word

    // Which vector lanes the common case (the default count, a finite leak) may use: the widest
    // this processor has (four with AVX2 on x86-64), or the two of the baseline (SSE2 there).
    // Both give the same drives.
    enum class Lanes { Widest, Baseline };

    // pathCount is limited to 1 ... maxPathCount, delayFrames to 0 ... maxDelayFrames. The search
    // starts from the pin at rest, as a conversion does.
    explicit LookAheadModulator(const PinModel& pin, int pathCount = defaultPathCount,
        int delayFrames = defaultDelayFrames, Lanes lanes = Lanes::Widest);

    // Takes the next frame's target. True when that decides the frame delayFrames back, whose
    // drive is then in `down` (true: driven down). Drives come out in frame order.
    bool take(double target, bool& down)
    {
        int decided = 0;
        double level = 0.0;
        down = takeMany(&target, 1, decided, &level) != 0;
        return decided != 0;
    }

    // Takes the next `count` targets (at most maxTakenAtOnce) in one call, which keeps the
    // search's state in registers across them: the same drives as take() for each in turn.
    // `decided` is how many frames they decide; bit i of the result is the drive of the i-th
    // of those, in frame order, and levels[i] the pin's level after it.
    //
    // The search plays the drives it commits from the level it started at (PinModel::levelAfter,
    // the same bits as the pin driven by them), beside its own frames: the player's chain from
    // one level to the next then runs within the search's longer one instead of after it.
    std::uint64_t takeMany(const double* targets, int count, int& decided, double* levels)
    {
        const std::int64_t first = takenFrames_;
        takenFrames_ += count;
        const std::int64_t undecided = std::max<std::int64_t>(delayFrames_ - first, 0);
        const int skipped = int(std::min<std::int64_t>(undecided, count));
        decided = count - skipped;
        committedFrames_ += decided;
        return advance_(*this, targets, count, first, levels) >> skipped;
    }

    // After the last target: the drives of the frames not yet decided, those of the cheapest
    // candidate, one per call in frame order. False when every frame taken has had its drive.
    bool flush(bool& down);
    // The pin's level after the last frame decided, by takeMany or flush.
    double playedLevel() const { return playedLevel_; }

    int pathCount() const { return pathCount_; }
    int delayFrames() const { return delayFrames_; }

private:
    // One frame of the plain lattice for PathCount candidates (0: pathCount_ of them). With
    // `decides` it commits the drive of the frame delayFrames back, returned, and discards the
    // candidates that drove that frame the other way.
    template <int PathCount, PinModel::Limits L> bool advance(double target, bool decides);

    // `count` frames, `first` taken before them; bit i of the result is the drive committed by
    // the i-th (0 where nothing is committed), and the pin's level after each committed drive
    // goes to `levels`, in order. The common case runs in vector lanes
    // (LookAheadLanes.h), four wide where the processor has AVX2, else two wide, with one clamp
    // each or both (which the pin's leak allows, PinModel::limits); every other case in the
    // plain lattice. Chosen once, when the search is made.
    using Advance = std::uint64_t (*)(LookAheadModulator& search, const double* targets, int count,
        std::int64_t first, double* levels);
    static Advance advanceFor(const PinModel& pin, int pathCount, Lanes lanes);
    template <int W, PinModel::Limits L>
    static std::uint64_t advanceRing(LookAheadModulator& search, const double* targets, int count,
        std::int64_t first, double* levels);
    static std::uint64_t advanceWideOneEach(LookAheadModulator& search, const double* targets,
        int count, std::int64_t first, double* levels);
    static std::uint64_t advanceWideBoth(LookAheadModulator& search, const double* targets,
        int count, std::int64_t first, double* levels);
    static std::uint64_t advanceRare(LookAheadModulator& search, const double* targets, int count,
        std::int64_t first, double* levels);
    bool usesRing() const { return advance_ != &advanceRare; }

    const PinModel pin_;
    const int pathCount_ = defaultPathCount;
    const int delayFrames_ = defaultDelayFrames;
    const Advance advance_;

    // The ring's state and constants (the vector lanes).
    lookahead::Ring ring_ {};
    lookahead::RingConstants ringConstants_ {};

    // The candidates of the plain lattice in order of level. Bit 0 of a history is the newest
    // drive, 1 for down.
    std::array<double, maxPathCount> level_ {};
    std::array<double, maxPathCount> cost_ {};
    std::array<std::uint64_t, maxPathCount> history_ {};

    std::int64_t takenFrames_ = 0;
    std::int64_t committedFrames_ = 0;
    double playedLevel_ = 0.0; // the pin driven by the committed drives
};

} // namespace tt
