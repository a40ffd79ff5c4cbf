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

#include <cmath>
#include <cstdint>

namespace tt {

class PinModel {
public:
    PinModel(const ModulatorSettings& settings, const WaveHeader& header)
        : leakFactor(100.0 / (9000.0 - double(settings.value1)))
        , stepSize(double(settings.value2))
        , gain(double(settings.volume) / 100.0)
        , maxAmp(double((std::int64_t(1) << header.bitsPerSample) / 2))
        , channelCount(double(header.channelCount))
        , infiniteLeak_(settings.value1 >= ModulatorSettings::value1Max)
        , leakAtMostOne_(leakFactor <= 1.0)
    {
    }

    // The input level of a frame: channels 1 and 2 summed, divided by the channel count (in
    // floating point, in this order), times the gain.
    double targetOf(ChannelPair samples) const
    {
        return double(samples.first + samples.second) / channelCount * gain;
    }

    // One frame: sets targetLevel and modelLevel, keeping the previous values. Returns the
    // absolute model error of this frame (the level before the update against the new target).
    double step(double target)
    {
        previousTarget = targetLevel;
        targetLevel = target;
        const double error = modelLevel - targetLevel;
        if (infiniteLeak_) {
            // Value 1 at its maximum makes the leak infinite and the comparison meaningless; the
            // pin then swings from limit to limit, starting at the top.
            drive(modelLevel > 0.0);
            return std::fabs(error);
        }
        // The pin drives up only when the target lies strictly above the level. Both successors
        // are computed while that comparison runs and the comparison picks one: it takes the
        // update's arithmetic off the chain from one frame's level to the next (shorter than
        // choosing the drive first), and gives the same bits.
        const Successors next = successorsOf(modelLevel);
        const bool up = targetLevel > modelLevel;
        previousModel = modelLevel;
        drivenDown_ = !up;
        modelLevel = up ? next.up : next.down;
        return std::fabs(error);
    }

    // One frame whose drive was chosen elsewhere (by a search over the frames ahead): sets the
    // levels and returns the error as step(target) does. The greedy step does not call this: it
    // picks the level by the comparison itself, which keeps its chain from frame to frame short.
    double step(double target, bool down)
    {
        previousTarget = targetLevel;
        targetLevel = target;
        const double error = modelLevel - targetLevel;
        drive(down);
        return std::fabs(error);
    }

    // One frame with the drive given rather than chosen: what a player does with an exported
    // bit, and what a search over drive sequences tries. Sets modelLevel, keeping the previous.
    void drive(bool down)
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
    // settings' limits() (anything else gives wrong levels). The one place the update rule is
    // written; each successor keeps the rule's own order of operations.
    //
    // Why one limit each suffices for a leak of at most 1: the rounded product level * leak
    // never exceeds the level in size nor changes its sign, so an up drive from a negative
    // level never falls (up - level >= 0) and from a level >= 0 stays >= 0; the mirror holds
    // for down. The same result as clamping both ways, and a shorter chain from frame to frame.
    template <Limits L> Successors successorsWith(double level) const
    {
        if constexpr (L == Limits::AreTheSuccessors) {
            return { -maxAmp, maxAmp };
        } else {
            const double leaked = level * leakFactor;
            const double down = level + (-stepSize - leaked);
            const double up = level + (stepSize - leaked);
            if constexpr (L == Limits::OneEach) {
                return { down < -maxAmp ? -maxAmp : down, up > maxAmp ? maxAmp : up };
            } else {
                return { clamped(down), clamped(up) };
            }
        }
    }

    // Both levels one frame after `level`. With Value 1 at 9000 they are the two limits.
    Successors successors(double level) const
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

    // The level one frame after `level` when the pin is driven down or up.
    double levelAfter(double level, bool down) const
    {
        const Successors next = successors(level);
        return down ? next.down : next.up;
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

    double targetLevel = 0.0;
    double previousTarget = 0.0;
    double modelLevel = 0.0;
    double previousModel = 0.0;

private:
    // The two levels the pin reaches from `level` in one frame with a finite leak.
    Successors successorsOf(double level) const
    {
        if (leakAtMostOne_) {
            return successorsWith<Limits::OneEach>(level);
        }
        return successorsWith<Limits::Both>(level);
    }

    double clamped(double level) const
    {
        level = level < -maxAmp ? -maxAmp : level;
        return level > maxAmp ? maxAmp : level;
    }

    const bool infiniteLeak_;
    const bool leakAtMostOne_;
    bool drivenDown_ = false;
};

} // namespace tt
