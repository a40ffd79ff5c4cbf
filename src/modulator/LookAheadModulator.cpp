#include "modulator/LookAheadModulator.h"

#include <algorithm>

namespace tt {

// Four lanes need AVX2, compiled for it in functions of their own and taken only when the
// processor has it. The 32-byte vectors never cross a call (everything is inlined into those
// functions), so the compiler's note that their ABI differs without AVX does not apply.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define TT_LOOKAHEAD_WIDE_LANES 1
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
#endif

namespace {

    bool hasWideLanes()
    {
#ifdef TT_LOOKAHEAD_WIDE_LANES
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
#else
        return false;
#endif
    }

} // namespace

LookAheadModulator::Advance LookAheadModulator::advanceFor(
    const PinModel& pin, int pathCount, Lanes lanes)
{
    using Limits = PinModel::Limits;
    if (std::clamp(pathCount, 1, maxPathCount) != lookahead::ringLanes
        || pin.limits() == Limits::AreTheSuccessors) {
        return &advanceRare;
    }
    const bool oneEach = pin.limits() == Limits::OneEach;
    static const bool wide = hasWideLanes();
    if (lanes == Lanes::Widest && wide) {
        return oneEach ? &advanceWideOneEach : &advanceWideBoth;
    }
    return oneEach ? &advanceRing<2, Limits::OneEach> : &advanceRing<2, Limits::Both>;
}

LookAheadModulator::LookAheadModulator(
    const PinModel& pin, int pathCount, int delayFrames, Lanes lanes)
    : pin_(pin)
    , pathCount_(std::clamp(pathCount, 1, maxPathCount))
    , delayFrames_(std::clamp(delayFrames, 0, maxDelayFrames))
    , advance_(advanceFor(pin, pathCount, lanes))
{
    // One candidate, the pin where it stands (at rest for a whole pass); the others are empty
    // (infinitely dear) until the lattice has spread over them. Copies of the one candidate would
    // never spread: each frame's merges and drop would leave copies of one successor.
    constexpr double empty = std::numeric_limits<double>::infinity();
    level_[0] = pin.modelLevel;
    playedLevel_ = pin.modelLevel;
    std::fill(cost_.begin() + 1, cost_.end(), empty);
    ring_.width = advance_ == &advanceWideOneEach || advance_ == &advanceWideBoth ? 4 : 2;
    std::fill(ring_.cost.begin(), ring_.cost.end(), empty);
    ring_.level[ring_.indexOfLane(0)] = pin.modelLevel;
    ring_.cost[ring_.indexOfLane(0)] = 0.0;
    ring_.start[ring_.indexOfLane(0)] = -1;
    ringConstants_ = { pin_.leakFactor, pin_.stepSize, -pin_.stepSize, pin_.maxAmp, -pin_.maxAmp,
        std::int64_t(std::uint64_t(1) << (63 - delayFrames_)), delayFrames_ };
}

bool lookahead::firstCheapestDrive(const Ring& ring)
{
    return std::int64_t(ring.drives[ring.firstWithCost(0.0)]) < 0;
}

template <int W, PinModel::Limits L>
std::uint64_t LookAheadModulator::advanceRing(LookAheadModulator& search, const double* targets,
    int count, std::int64_t first, double* levels)
{
    return lookahead::advanceRing<W, L>(search.ring_, search.ringConstants_, targets, count, first,
        search.pin_, search.playedLevel_, levels);
}

#ifdef TT_LOOKAHEAD_WIDE_LANES
__attribute__((target("avx2"))) std::uint64_t LookAheadModulator::advanceWideOneEach(
    LookAheadModulator& search, const double* targets, int count, std::int64_t first,
    double* levels)
{
    return lookahead::advanceRing<4, PinModel::Limits::OneEach>(search.ring_, search.ringConstants_,
        targets, count, first, search.pin_, search.playedLevel_, levels);
}

__attribute__((target("avx2"))) std::uint64_t LookAheadModulator::advanceWideBoth(
    LookAheadModulator& search, const double* targets, int count, std::int64_t first,
    double* levels)
{
    return lookahead::advanceRing<4, PinModel::Limits::Both>(search.ring_, search.ringConstants_,
        targets, count, first, search.pin_, search.playedLevel_, levels);
}
#else
// Never chosen (advanceFor).
std::uint64_t LookAheadModulator::advanceWideOneEach(LookAheadModulator& search,
    const double* targets, int count, std::int64_t first, double* levels)
{
    return advanceRing<2, PinModel::Limits::OneEach>(search, targets, count, first, levels);
}

std::uint64_t LookAheadModulator::advanceWideBoth(LookAheadModulator& search, const double* targets,
    int count, std::int64_t first, double* levels)
{
    return advanceRing<2, PinModel::Limits::Both>(search, targets, count, first, levels);
}
#endif

std::uint64_t LookAheadModulator::advanceRare(LookAheadModulator& search, const double* targets,
    int count, std::int64_t first, double* levels)
{
    using Limits = PinModel::Limits;
    const bool rails = search.pin_.limits() == Limits::AreTheSuccessors;
    const bool common = search.pathCount_ == defaultPathCount;
    std::uint64_t drives = 0;
    for (int i = 0; i < count; ++i) {
        const bool decides = first + i >= search.delayFrames_;
        bool down = false;
        if (rails) {
            down = common
                ? search.advance<defaultPathCount, Limits::AreTheSuccessors>(targets[i], decides)
                : search.advance<0, Limits::AreTheSuccessors>(targets[i], decides);
        } else {
            down = common ? search.advance<defaultPathCount, Limits::Both>(targets[i], decides)
                          : search.advance<0, Limits::Both>(targets[i], decides);
        }
        if (decides) {
            drives |= std::uint64_t(down) << i;
            search.playedLevel_ = search.pin_.levelAfter(search.playedLevel_, down);
            *levels++ = search.playedLevel_;
        }
    }
    return drives;
}

bool LookAheadModulator::flush(bool& down)
{
    const std::int64_t pending = takenFrames_ - committedFrames_;
    if (pending <= 0) {
        return false;
    }
    // The first cheapest candidate: the least cost was subtracted, so its cost is 0.
    if (!usesRing()) {
        std::size_t best = 0;
        while (cost_[best] != 0.0) {
            ++best;
        }
        down = ((history_[best] >> (pending - 1)) & 1u) != 0;
    } else {
        const std::uint64_t drives = ring_.drives[ring_.firstWithCost(0.0)];
        down = ((drives >> (63 - delayFrames_ + pending - 1)) & 1u) != 0;
    }
    ++committedFrames_;
    playedLevel_ = pin_.levelAfter(playedLevel_, down);
    return true;
}

// The work is one chain of dependent steps per frame (costs, merges, least cost, discard, and on
// to the next frame), so it is written to keep that chain short: the two ends are chosen between
// by selection rather than by a computed index, and the cheapest candidate is found by a tree of
// comparisons that also yields the least cost and its drive.
template <int PathCount, PinModel::Limits L>
bool LookAheadModulator::advance(double target, bool decides)
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
