#pragma once
// The leaky one-bit pin: at every frame the pin drives the level up or down by a fixed step and
// the integrator leaks a fixed fraction of it. This is the only implementation of the update
// rule; the whole-file conversion, the zoom view, the export and the look-ahead search all run
// it.
//
// Every expression keeps its written order and the build forbids FMA contraction, so the levels
// are the same bits on every machine and at every optimisation level.

#include "modulator/ModulatorSettings.h"
#include "wave/SampleFormat.h"
#include "wave/WaveHeader.h"

#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tt {

class PinModel {
public:
    PinModel(const ModulatorSettings& settings, const WaveHeader& header)
        : leakFactor(100.0 / (9000.0 - double(settings.value1)))
        , stepSize(double(settings.value2))
        , gain(double(settings.volume) / 100.0)
        , maxAmp(double((std::int64_t(1) << header.bitsPerSample) / 2))
        , channelCount(double(header.channelCount))
        , gainPerChannel(gain / channelCount)
        , infiniteLeak_(settings.value1 >= ModulatorSettings::value1Max)
        , leakAtMostOne_(leakFactor <= 1.0)
    {
    }

    // The input level of a frame: channels 1 and 2 summed, divided by the channel count (in
    // floating point, in this order), times the gain.
    [[gnu::always_inline]] double targetOf(ChannelPair samples) const
    {
        return double(samples.first + samples.second) / channelCount * gain;
    }

    // targetOf for a sound of one or two channels, in one multiply: dividing by 1 or 2 only
    // scales by a power of two, exactly, and so does gain / channelCount, so the product is the
    // same bits as the division and the multiply (and the pass's frame loop has one
    // floating-point operation less, the division's long one).
    [[gnu::always_inline]] double targetOfOneOrTwoChannels(ChannelPair samples) const
    {
        return double(samples.first + samples.second) * gainPerChannel;
    }

    // One frame: sets targetLevel and modelLevel, keeping the previous values. Returns the
    // absolute model error of this frame (the level before the update against the new target).
    //
    // The per-frame members are always inlined (successorsWith, the search's, is left to the
    // compiler): a pass that called them would hand the levels through memory every frame
    // (scripts/check-per-frame-inlined.sh checks the shipped programs for such calls).
    [[gnu::always_inline]] double step(double target)
    {
        previousTarget = targetLevel;
        targetLevel = target;
        const double level = modelLevel;
        const double error = level - target;
        if (infiniteLeak_) [[unlikely]] {
            // Value 1 at its maximum makes the leak infinite and the comparison meaningless; the
            // pin then swings from limit to limit, starting at the top.
            drive(level > 0.0);
            return std::fabs(error);
        }
        // The pin drives up only when the target lies strictly above the level. The comparison
        // picks the step's sign (no jump) while the leak's multiply runs, so the chain from one
        // frame's level to the next is the multiply, the subtraction and the addition alone.
        const Drive chosen = driveFor(level, target);
        const double next = levelDrivenBy(level, chosen.signedStep);
        previousModel = level;
        drivenDown_ = chosen.down;
        modelLevel = next;
        return std::fabs(error);
    }

    // One frame whose drive was chosen elsewhere (by a search over the frames ahead): sets the
    // levels and returns the error as step(target) does. The greedy step does not call this: it
    // picks the level by the comparison itself, which keeps its chain from frame to frame short.
    [[gnu::always_inline]] double step(double target, bool down)
    {
        return step(target, down, levelAfter(modelLevel, down));
    }

    // The same with the level after the drive worked out elsewhere too, by levelAfter from
    // modelLevel (a search that plays the drives it commits): no arithmetic on the level, so
    // the frames of a player need not wait for one another.
    [[gnu::always_inline]] double step(double target, bool down, double next)
    {
        previousTarget = targetLevel;
        targetLevel = target;
        const double error = modelLevel - targetLevel;
        previousModel = modelLevel;
        drivenDown_ = down;
        modelLevel = next;
        return std::fabs(error);
    }

    // One frame with the drive given rather than chosen: what a player does with an exported
    // bit, and what a search over drive sequences tries. Sets modelLevel, keeping the previous.
    [[gnu::always_inline]] void drive(bool down)
    {
        previousModel = modelLevel;
        drivenDown_ = down;
        modelLevel = levelAfter(modelLevel, down);
    }

    // The two levels the pin reaches from a level in one frame, driven down and driven up.
    struct Successors {
        double down = 0.0;
        double up = 0.0;
    };

    // Which limits the successors of a level within the limits can cross: one each (a leak of
    // at most 1: up never falls below -maxAmp, down never rises above +maxAmp), both (a leak
    // above 1), or the successors are the limits themselves (the infinite leak of Value 1 at
    // 9000). Fixed for a pass; a search that takes successors of many levels per frame picks
    // its rule once with this.
    enum class Limits { OneEach, Both, AreTheSuccessors };
    Limits limits() const
    {
        return infiniteLeak_ ? Limits::AreTheSuccessors
            : leakAtMostOne_ ? Limits::OneEach
                             : Limits::Both;
    }

    // Both levels one frame after `level`: the leak, the step and the clamp to +-maxAmp, for the
    // settings' limits() (anything else gives wrong levels). The rule before the clamp is
    // unclampedLevelAfter, the one place it is written (the search's vector lanes aside).
    //
    // Why one limit each suffices for a leak of at most 1: the rounded product level * leak
    // never exceeds the level in size nor changes its sign, so an up drive from a negative
    // level never falls (up - level >= 0) and from a level >= 0 stays >= 0; the mirror holds
    // for down. The same result as clamping both ways, and a shorter chain from frame to frame.
    //
    // Left to the compiler to inline (it does): the look-ahead search calls it for every
    // candidate of every frame, and forcing it into the search's loops makes them slower.
    template <Limits L> Successors successorsWith(double level) const
    {
        if constexpr (L == Limits::AreTheSuccessors) {
            return { -maxAmp, maxAmp };
        } else {
            // The leak's product is the same for both, worked out once.
            const double down = unclampedLevelAfter(level, -stepSize);
            const double up = unclampedLevelAfter(level, stepSize);
            if constexpr (L == Limits::OneEach) {
                return { down < -maxAmp ? -maxAmp : down, up > maxAmp ? maxAmp : up };
            } else {
                return { clamped(down), clamped(up) };
            }
        }
    }

    // Both levels one frame after `level`. With Value 1 at 9000 they are the two limits.
    [[gnu::always_inline]] Successors successors(double level) const
    {
        switch (limits()) {
        case Limits::AreTheSuccessors:
            return successorsWith<Limits::AreTheSuccessors>(level);
        case Limits::OneEach:
            return successorsWith<Limits::OneEach>(level);
        case Limits::Both:
            break;
        }
        return successorsWith<Limits::Both>(level);
    }

    // The level one frame after `level` when the pin is driven down or up: the successor
    // successors(level) gives for that drive, without working out the other.
    [[gnu::always_inline]] double levelAfter(double level, bool down) const
    {
        if (infiniteLeak_) [[unlikely]] {
            return down ? -maxAmp : maxAmp;
        }
        return levelDrivenBy(level, stepFor(down));
    }

    // levelAfter for a finite leak with the clamp taken by selection, not by a jump: the same
    // bits. For a loop whose chain from level to level is not its critical one (the look-ahead
    // search playing its drives beside its own frames), where a mispredicted clamp costs more
    // than the longer chain.
    [[gnu::always_inline]] double finiteLevelAfterWithoutJumps(double level, bool down) const
    {
        return clamped(unclampedLevelAfter(level, stepFor(down)));
    }

    // The output bit of the last frame: the drive itself, 1 when the pin was driven down. A
    // player that drives a real pin with these bits reproduces modelLevel exactly, also where
    // the clamp holds the level or a leak above 1 makes it fall on an up drive.
    bool outputBit() const { return drivenDown_; }

    const double leakFactor;
    const double stepSize;
    const double gain;
    const double maxAmp; // 128 for 8-bit files, 32768 for 16-bit files
    const double channelCount;
    const double gainPerChannel; // gain / channelCount

    double targetLevel = 0.0;
    double previousTarget = 0.0;
    double modelLevel = 0.0;
    double previousModel = 0.0;

private:
    // The drive step(target) takes from `level`: down unless the target lies strictly above
    // the level, and the step with that drive's sign. Where SSE2 is there, the comparison's
    // mask flips the step's sign bit: a compiler may otherwise choose between +step and -step
    // with a jump, which mispredicts on about every other frame of music.
    struct Drive {
        double signedStep;
        bool down;
    };
    [[gnu::always_inline]] Drive driveFor(double level, double target) const
    {
        const bool down = !(target > level);
#if defined(__SSE2__)
        const __m128d upMask = _mm_cmplt_sd(_mm_set_sd(level), _mm_set_sd(target));
        const __m128d signBit = _mm_set_sd(-0.0);
        return { _mm_cvtsd_f64(_mm_xor_pd(_mm_set_sd(-stepSize), _mm_and_pd(upMask, signBit))),
            down };
#else
        return { down ? -stepSize : stepSize, down };
#endif
    }

    // The level one frame after `level` (within the limits) with a finite leak, driven by
    // signedStep (+stepSize up, -stepSize down): level + (+-step - leaked), the rule as
    // successorsWith writes it, and the clamp as a rarely taken jump off the chain from one
    // frame's level to the next. Clamping both ways is right for every finite leak: for a leak
    // of at most 1 the drive can cross only the one limit that successorsWith clamps.
    [[gnu::always_inline]] double levelDrivenBy(double level, double signedStep) const
    {
        const double next = unclampedLevelAfter(level, signedStep);
        if (!(std::fabs(next) <= maxAmp)) [[unlikely]] {
            return clamped(next);
        }
        return next;
    }

    // The rule with a finite leak before the clamp.
    [[gnu::always_inline]] double unclampedLevelAfter(double level, double signedStep) const
    {
        return level + (signedStep - level * leakFactor);
    }

    // The drive flips the step's sign bit (exactly -stepSize) rather than choosing between two
    // values: a search's drives are as good as random, and a jump on them would be mispredicted
    // every other frame.
    [[gnu::always_inline]] double stepFor(bool down) const
    {
        return std::bit_cast<double>(
            std::bit_cast<std::uint64_t>(stepSize) ^ (std::uint64_t(down) << 63));
    }

    [[gnu::always_inline]] double clamped(double level) const
    {
        level = level < -maxAmp ? -maxAmp : level;
        return level > maxAmp ? maxAmp : level;
    }

    const bool infiniteLeak_;
    const bool leakAtMostOne_;
    bool drivenDown_ = false;
};

} // namespace tt
