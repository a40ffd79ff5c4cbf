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

#include "modulator/PinModel.h"

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

    // pathCount is limited to 1 ... maxPathCount, delayFrames to 0 ... maxDelayFrames. The search
    // starts from the pin at rest, as a conversion does.
    explicit LookAheadModulator(const PinModel& pin, int pathCount = defaultPathCount,
        int delayFrames = defaultDelayFrames);

    // Takes the next frame's target. True when that decides the frame delayFrames back, whose
    // drive is then in `down` (true: driven down). Drives come out in frame order.
    bool take(double target, bool& down)
    {
        const bool decides = ++takenFrames_ > delayFrames_;
        if (decides) {
            ++committedFrames_;
        }
        // The common case (the default count, a finite leak) is the one inlined here, with loops
        // the compiler unrolls completely; every other case is a call, so that this one stays
        // small enough to be inlined into the pass. Clamping both ways is right for every finite
        // leak, and faster here than the one-sided clamps the greedy step uses.
        down = common_ ? advance<defaultPathCount, PinModel::Limits::Both>(target, decides)
                       : advanceRare(target, decides);
        return decides;
    }

    // After the last target: the drives of the frames not yet decided, those of the cheapest
    // candidate, one per call in frame order. False when every frame taken has had its drive.
    bool flush(bool& down);

    int pathCount() const { return pathCount_; }
    int delayFrames() const { return delayFrames_; }

private:
    // One frame of the lattice for PathCount candidates (0: pathCount_ of them). With `decides`
    // it commits the drive of the frame delayFrames back, returned, and discards the candidates
    // that drove that frame the other way.
    template <int PathCount, PinModel::Limits L> bool advance(double target, bool decides);

    // Any other count, or the infinite leak whose successors are the two limits.
    bool advanceRare(double target, bool decides);

    const PinModel pin_;
    const int pathCount_ = defaultPathCount;
    const int delayFrames_ = defaultDelayFrames;
    const bool common_
        = pathCount_ == defaultPathCount && pin_.limits() != PinModel::Limits::AreTheSuccessors;

    // The candidates in order of level. Bit 0 of a history is the newest drive, 1 for down.
    std::array<double, maxPathCount> level_ {};
    std::array<double, maxPathCount> cost_ {};
    std::array<std::uint64_t, maxPathCount> history_ {};

    std::int64_t takenFrames_ = 0;
    std::int64_t committedFrames_ = 0;
};

// The work is one chain of dependent steps per frame (costs, merges, least cost, discard, and on
// to the next frame), so it is written to keep that chain short: the two ends are chosen between
// by selection rather than by a computed index, and the cheapest candidate is found by a tree of
// comparisons that also yields the least cost and its drive.
template <int PathCount, PinModel::Limits L>
inline bool LookAheadModulator::advance(double target, bool decides)
{
    const int count = PathCount > 0 ? PathCount : pathCount_;
    if (count < 1) {
        return false; // never: the constructor limits the count; tells the compiler so
    }
    using Levels = std::array<double, maxPathCount + 1>;
    using Histories = std::array<std::uint64_t, maxPathCount + 1>;

    Levels downLevel, upLevel, downCost, upCost;
    Histories downHistory, upHistory;
    for (int i = 0; i < count; ++i) {
        const auto at = std::size_t(i);
        const PinModel::Successors next = pin_.successorsWith<L>(level_[at]);
        downLevel[at] = next.down;
        upLevel[at] = next.up;
        const double downError = downLevel[at] - target;
        const double upError = upLevel[at] - target;
        downCost[at] = cost_[at] + downError * downError;
        upCost[at] = cost_[at] + upError * upError;
        downHistory[at] = (history_[at] << 1) | 1u;
        upHistory[at] = history_[at] << 1;
    }

    // count + 1 new candidates: down from the lowest, the cheaper of each coinciding pair, up
    // from the highest.
    Levels newLevel, newCost;
    Histories newHistory;
    newLevel[0] = downLevel[0];
    newCost[0] = downCost[0];
    newHistory[0] = downHistory[0];
    for (int j = 1; j < count; ++j) {
        const auto below = std::size_t(j - 1), above = std::size_t(j);
        const bool up = upCost[below] < downCost[above];
        newLevel[above] = up ? upLevel[below] : downLevel[above];
        newCost[above] = up ? upCost[below] : downCost[above];
        newHistory[above] = up ? upHistory[below] : downHistory[above];
    }
    const auto top = std::size_t(count);
    newLevel[top] = upLevel[top - 1];
    newCost[top] = upCost[top - 1];
    newHistory[top] = upHistory[top - 1];

    // The dearer end goes, the top one when they cost the same.
    const bool dropBottom = newCost[top] < newCost[0];
    Levels keptCost;
    Histories keptHistory;
    for (int i = 0; i < count; ++i) {
        const auto at = std::size_t(i);
        level_[at] = dropBottom ? newLevel[at + 1] : newLevel[at];
        keptCost[at] = dropBottom ? newCost[at + 1] : newCost[at];
        keptHistory[at] = dropBottom ? newHistory[at + 1] : newHistory[at];
        history_[at] = keptHistory[at];
    }

    // The first cheapest candidate by a tree over neighbours, so that of equally cheap ones the
    // lowest wins; its cost is the least, and its drive delayFrames back is the one to commit.
    Levels least;
    Histories drive;
    for (int i = 0; i < count; ++i) {
        least[std::size_t(i)] = keptCost[std::size_t(i)];
        drive[std::size_t(i)] = (keptHistory[std::size_t(i)] >> delayFrames_) & 1u;
    }
    for (int width = count; width > 1; width = (width + 1) / 2) {
        for (int i = 0; i < width / 2; ++i) {
            const auto left = std::size_t(2 * i), right = left + 1;
            const bool rightWins = least[right] < least[left];
            least[std::size_t(i)] = rightWins ? least[right] : least[left];
            drive[std::size_t(i)] = rightWins ? drive[right] : drive[left];
        }
        if (width % 2 != 0) {
            least[std::size_t(width / 2)] = least[std::size_t(width - 1)];
            drive[std::size_t(width / 2)] = drive[std::size_t(width - 1)];
        }
    }
    const std::uint64_t committed = drive[0];

    constexpr double discarded = std::numeric_limits<double>::infinity();
    for (int i = 0; i < count; ++i) {
        const auto at = std::size_t(i);
        const bool disagrees = decides && ((keptHistory[at] >> delayFrames_) & 1u) != committed;
        cost_[at] = disagrees ? discarded : keptCost[at] - least[0];
    }
    return committed != 0;
}

} // namespace tt
