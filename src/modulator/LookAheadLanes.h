#pragma once
// The look-ahead search's common case, eight candidates and a finite leak, with the candidates
// side by side in vector lanes: every lane does exactly the plain search's arithmetic in the same
// order, so the drives are the same bits.
//
// The candidates lie on a ring of eight lanes. A frame's lattice pairs the up successor of each
// candidate with the down successor of the one above; on the ring that is always the up
// successors moved on by one lane, and the pair that wraps round (up from the top, down from the
// bottom) is exactly the choice between the two ends: the cheaper of the two is kept, a tie going
// to down, which is the rule that drops the dearer end. So one fixed rotation and one choice per
// lane do the whole update. Only where the ring starts (the lane of the lowest candidate) moves
// on by one lane when the bottom end is dropped, and a one-lane marker follows it; it matters
// only where equally cheap candidates disagree, since the first of them from the lowest decides.
//
// Lane l lives in register l % R at element l / R (R registers of W lanes), so that moving every
// lane on by one is a renaming of registers and one rotation within the last one.
//
// Histories are kept shifted so that the drive delayFrames back is the sign bit: a candidate
// holds its last delayFrames + 1 drives, the newest at bit 63 - delayFrames, 1 for down.
//
// Nothing here passes a vector by value across a call: the four-lane code is compiled only inside
// functions built for AVX2 (LookAheadModulator.cpp), into which all of it is inlined, and a
// 32-byte vector argument would have another ABI outside them.

#include "modulator/PinModel.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace tt::lookahead {

inline constexpr int ringLanes = 8;

// W lanes of doubles and of 64-bit words, and the moves across lanes the search needs.
template <int W> struct LaneTypes;

template <> struct LaneTypes<2> {
    typedef double Real __attribute__((vector_size(16)));
    typedef std::int64_t Int __attribute__((vector_size(16)));
    typedef std::uint64_t Bits __attribute__((vector_size(16)));
    // Element k to k + 1, the last to the first.
    template <class V> [[gnu::always_inline]] static void rotate(V& v)
    {
        v = __builtin_shufflevector(v, v, 1, 0);
    }
    // Lanes swapped at the given distance (1 or 2): the steps of a tree across the lanes.
    template <int Distance, class V> [[gnu::always_inline]] static void swap(V& v)
    {
        static_assert(Distance == 1);
        v = __builtin_shufflevector(v, v, 1, 0);
    }
    static constexpr int reachOfSwaps = 1;
    // Whether any lane's sign bit is set.
    [[gnu::always_inline]] static bool anySign(const Int& v)
    {
#if defined(__SSE2__)
        return _mm_movemask_pd(_mm_castsi128_pd(__m128i(v))) != 0;
#else
        return (v[0] | v[1]) < 0;
#endif
    }
    [[gnu::always_inline]] static void spreadFirst(Int& v)
    {
        v = __builtin_shufflevector(v, v, 0, 0);
    }
    // Infinity where the sign bit of `sign` is set (all ones made by shifts: SSE2 has no 64-bit
    // comparison).
    [[gnu::always_inline]] static void discard(Real& cost, const Int& sign)
    {
        const Int all = -Int(Bits(sign) >> 63);
        cost = Real((Int(cost) & ~all) | (all & std::int64_t(0x7ff0000000000000)));
    }
};

template <> struct LaneTypes<4> {
    typedef double Real __attribute__((vector_size(32)));
    typedef std::int64_t Int __attribute__((vector_size(32)));
    typedef std::uint64_t Bits __attribute__((vector_size(32)));
    template <class V> [[gnu::always_inline]] static void rotate(V& v)
    {
        v = __builtin_shufflevector(v, v, 3, 0, 1, 2);
    }
    // Words move as doubles: the same shuffles as the costs.
    template <int Distance, class V> [[gnu::always_inline]] static void swap(V& v)
    {
        Real d;
        std::memcpy(&d, &v, sizeof d);
        if constexpr (Distance == 2) {
            d = __builtin_shufflevector(d, d, 2, 3, 0, 1);
        } else {
            d = __builtin_shufflevector(d, d, 1, 0, 3, 2);
        }
        std::memcpy(&v, &d, sizeof d);
    }
    static constexpr int reachOfSwaps = 2;
    // Built for AVX2 and left to the inliner, which inlines it into the functions built for
    // AVX2 (LookAheadModulator.cpp): forced, it would be checked against the search's frame,
    // which is not built for AVX2 until it is inlined there itself.
    __attribute__((target("avx2"))) static bool anySign(const Int& v)
    {
        return _mm256_movemask_pd(_mm256_castsi256_pd(__m256i(v))) != 0;
    }
    [[gnu::always_inline]] static void spreadFirst(Int& v)
    {
        v = __builtin_shufflevector(v, v, 0, 0, 0, 0);
    }
    [[gnu::always_inline]] static void discard(Real& cost, const Int& sign)
    {
        cost = sign < 0 ? Real {} + std::numeric_limits<double>::infinity() : cost;
    }
};

// The search's state in memory, in the order of width W: lane l at index (l % R) * W + l / R.
struct Ring {
    alignas(64) std::array<double, ringLanes> level {};
    alignas(64) std::array<double, ringLanes> cost {};
    alignas(64) std::array<std::uint64_t, ringLanes> drives {};
    alignas(64) std::array<std::int64_t, ringLanes> start {}; // -1 at the lowest candidate's lane
    int width = 2;

    std::size_t indexOfLane(int lane) const
    {
        const int registers = ringLanes / width;
        return std::size_t((lane % registers) * width + lane / registers);
    }
    // The index of the first candidate, from the lowest, whose cost is `wanted`; there is one.
    std::size_t firstWithCost(double wanted) const
    {
        int startLane = 0;
        while (start[indexOfLane(startLane)] == 0) {
            ++startLane;
        }
        for (int k = 0;; ++k) {
            const std::size_t at = indexOfLane((startLane + k) % ringLanes);
            if (cost[at] == wanted || k == ringLanes - 1) {
                return at;
            }
        }
    }
};

// Fixed for a search: the pin's constants and where the newest drive goes.
struct RingConstants {
    double leakFactor;
    double stepSize;
    double negativeStep; // -stepSize, as the update rule writes it
    double maxAmp;
    double negativeMaxAmp;
    std::int64_t newestDown; // the bit of the newest drive, down
    int delayFrames;
};

// The drive of the first cheapest candidate when cheapest ones disagree (equal costs on mirrored
// paths, as in silence): the slow way, from the state in memory.
bool firstCheapestDrive(const Ring& ring);

// The ring in registers.
template <int W> struct RingLanes {
    using T = LaneTypes<W>;
    using Real = typename T::Real;
    using Int = typename T::Int;
    static constexpr int R = ringLanes / W;

    Real level[R];
    Real cost[R];
    Int drives[R];
    Int start[R];

    [[gnu::always_inline]] void load(const Ring& ring)
    {
        for (int r = 0; r < R; ++r) {
            const auto at = std::size_t(r * W);
            std::memcpy(&level[r], &ring.level[at], sizeof(Real));
            std::memcpy(&cost[r], &ring.cost[at], sizeof(Real));
            std::memcpy(&drives[r], &ring.drives[at], sizeof(Int));
            std::memcpy(&start[r], &ring.start[at], sizeof(Int));
        }
    }
    [[gnu::always_inline]] void store(Ring& ring) const
    {
        for (int r = 0; r < R; ++r) {
            const auto at = std::size_t(r * W);
            std::memcpy(&ring.level[at], &level[r], sizeof(Real));
            std::memcpy(&ring.cost[at], &cost[r], sizeof(Real));
            std::memcpy(&ring.drives[at], &drives[r], sizeof(Int));
            std::memcpy(&ring.start[at], &start[r], sizeof(Int));
        }
    }

    // One frame of the search (the plain lattice's frame, LookAheadModulator.h). With `decides`,
    // returns the drive of the frame delayFrames back and discards the candidates that drove it
    // the other way. `spill` takes the state for the slow way.
    template <PinModel::Limits L, bool Decides>
    [[gnu::always_inline]] bool advance(const RingConstants& c, double target, Ring& spill);
};

// Where `other` costs less than `cost`, takes it and its drives.
template <class Real, class Int>
[[gnu::always_inline]] inline void takeCheaper(
    Real& cost, Int& drives, const Real& otherCost, const Int& otherDrives)
{
    const auto cheaper = otherCost < cost;
    cost = cheaper ? otherCost : cost;
    drives = cheaper ? otherDrives : drives;
}

// The same across lanes `Distance` apart, in every lane.
template <class T, int Distance>
[[gnu::always_inline]] inline void takeCheaperAcross(
    typename T::Real& cost, typename T::Int& drives)
{
    typename T::Real otherCost = cost;
    typename T::Int otherDrives = drives;
    T::template swap<Distance>(otherCost);
    T::template swap<Distance>(otherDrives);
    takeCheaper(cost, drives, otherCost, otherDrives);
}

template <int W>
template <PinModel::Limits L, bool Decides>
[[gnu::always_inline]] inline bool RingLanes<W>::advance(
    const RingConstants& c, double target, Ring& spill)
{
    static_assert(L != PinModel::Limits::AreTheSuccessors);

    Real down[R], up[R], downCost[R], upCost[R];
    Int downDrives[R], upDrives[R];
    for (int r = 0; r < R; ++r) {
        const Real leaked = level[r] * c.leakFactor;
        Real d = level[r] + (c.negativeStep - leaked);
        Real u = level[r] + (c.stepSize - leaked);
        if constexpr (L == PinModel::Limits::OneEach) {
            d = d < c.negativeMaxAmp ? c.negativeMaxAmp : d;
            u = u > c.maxAmp ? c.maxAmp : u;
        } else {
            d = d < c.negativeMaxAmp ? c.negativeMaxAmp : d;
            d = d > c.maxAmp ? c.maxAmp : d;
            u = u < c.negativeMaxAmp ? c.negativeMaxAmp : u;
            u = u > c.maxAmp ? c.maxAmp : u;
        }
        down[r] = d;
        up[r] = u;
        const Real downError = d - target;
        const Real upError = u - target;
        downCost[r] = cost[r] + downError * downError;
        upCost[r] = cost[r] + upError * upError;
        upDrives[r] = drives[r] << 1;
        downDrives[r] = upDrives[r] | c.newestDown;
    }

    // The least cost, and the drives of a cheapest candidate with it: the least of all
    // successors, kept or not (a cheapest successor wins its lane, or ties with the one that
    // does), by a tree over the registers and then across the lanes. It takes the successors
    // before they move to their lanes, which keeps that move off the chain from one frame's
    // costs to the next. Its drive is the one to commit unless cheapest candidates disagree.
    Real least[R];
    Int leastDrives[R];
    for (int r = 0; r < R; ++r) {
        least[r] = downCost[r];
        leastDrives[r] = downDrives[r];
        takeCheaper(least[r], leastDrives[r], upCost[r], upDrives[r]);
    }
    for (int width = R; width > 1; width /= 2) {
        for (int r = 0; r < width / 2; ++r) {
            least[r] = least[2 * r];
            leastDrives[r] = leastDrives[2 * r];
            takeCheaper(least[r], leastDrives[r], least[2 * r + 1], leastDrives[2 * r + 1]);
        }
    }
    if constexpr (T::reachOfSwaps == 2) {
        takeCheaperAcross<T, 2>(least[0], leastDrives[0]);
    }
    takeCheaperAcross<T, 1>(least[0], leastDrives[0]);
    // Every lane holds the least cost now, but where costs tie, lanes may hold the drives of
    // different cheapest successors: the first lane's go to all.
    T::spreadFirst(leastDrives[0]);

    // Each lane: the up successor from the lane below against the down successor of its own.
    T::rotate(up[R - 1]);
    T::rotate(upCost[R - 1]);
    T::rotate(upDrives[R - 1]);
    Int startMoves[R];
    for (int r = 0; r < R; ++r) {
        const int below = r == 0 ? R - 1 : r - 1;
        const auto takesUp = upCost[below] < downCost[r];
        cost[r] = (takesUp ? upCost[below] : downCost[r]) - least[0];
        level[r] = takesUp ? up[below] : down[r];
        drives[r] = takesUp ? upDrives[below] : downDrives[r];
        startMoves[r] = start[r] & takesUp;
    }
    Int moved = startMoves[R - 1];
    T::rotate(moved);
    for (int r = 0; r < R; ++r) {
        start[r] = (start[r] ^ startMoves[r]) | (r == 0 ? moved : startMoves[r - 1]);
    }

    if constexpr (!Decides) {
        return false;
    }
    Int disagrees[R];
    Int tie = {};
    for (int r = 0; r < R; ++r) {
        disagrees[r] = drives[r] ^ leastDrives[0];
        tie |= (cost[r] == 0.0) & disagrees[r];
    }
    bool committed = leastDrives[0][0] < 0;
    if (T::anySign(tie)) [[unlikely]] {
        store(spill);
        committed = firstCheapestDrive(spill);
        const Int flip = Int {} + (committed ? std::numeric_limits<std::int64_t>::min() : 0);
        for (int r = 0; r < R; ++r) {
            disagrees[r] = drives[r] ^ flip;
        }
    }
    for (int r = 0; r < R; ++r) {
        T::discard(cost[r], disagrees[r]);
    }
    return committed;
}

// `count` frames of the search (at most 64), with the state in registers throughout; `first` is
// the number of frames taken before them. Bit i of the result is the drive the i-th of them
// commits (0 where it commits nothing: within the first delayFrames of the search). Each
// committed drive also steps `played`, the pin driven by them, whose levels go to `levels`.
template <int W, PinModel::Limits L>
[[gnu::always_inline]] inline std::uint64_t advanceRing(Ring& ring, const RingConstants& c,
    const double* targets, int count, std::int64_t first, const PinModel& pin, double& played,
    double* levels)
{
    RingLanes<W> lanes;
    lanes.load(ring);
    // The frames that decide nothing (the search's first delayFrames) apart, so that the others
    // need no test.
    const int undecided = int(std::clamp<std::int64_t>(c.delayFrames - first, 0, count));
    for (int i = 0; i < undecided; ++i) {
        lanes.template advance<L, false>(c, targets[i], ring);
    }
    std::uint64_t drives = 0;
    double level = played;
    for (int i = undecided; i < count; ++i) {
        const bool down = lanes.template advance<L, true>(c, targets[i], ring);
        drives |= std::uint64_t(down) << i;
        level = pin.finiteLevelAfterWithoutJumps(level, down);
        levels[i - undecided] = level;
    }
    played = level;
    lanes.store(ring);
    return drives;
}

} // namespace tt::lookahead
