#pragma once
// The leaky one-bit pin: at every frame the pin drives the level up or down by a fixed step and
// the integrator leaks a fixed fraction of it. This is the only implementation of the update
// rule; the whole-file conversion, the zoom view, the export and the look-ahead search all run
// it.
//
// Every expression keeps its written order and the build forbids FMA contraction, so the levels
// are the same bits on every machine and at every optimisation level.

#include "modulator/ModulatorSettings.h"
#include "wave/FrameReader.h"
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
        // The pin drives up only when the target lies strictly above the level. Value 1 at its
        // maximum makes the leak infinite and the comparison meaningless; the pin then swings
        // from limit to limit, starting at the top.
        drive(infiniteLeak_ ? modelLevel > 0.0 : !(targetLevel > modelLevel));
        return std::fabs(error);
    }

    // One frame whose drive was chosen elsewhere (by a search over the frames ahead): sets the
    // levels and returns the error as step(target) does. Written out in both rather than one
    // calling the other, so that the greedy pass compiles exactly as before.
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

    // The level one frame after `level` when the pin is driven down or up: the leak, the step
    // and the clamp to +-maxAmp. The one place the update rule is written.
    double levelAfter(double level, bool down) const
    {
        if (infiniteLeak_) {
            return down ? -maxAmp : maxAmp;
        }
        // The drive is picked by index: the choice is unpredictable for real sound, and a
        // compiler may turn a conditional expression into a branch.
        double next = level + (drives_[down ? 0 : 1] - level * leakFactor);
        if (next < -maxAmp) {
            next = -maxAmp;
        }
        if (next > maxAmp) {
            next = maxAmp;
        }
        return next;
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
    const bool infiniteLeak_;
    bool drivenDown_ = false;
    const double drives_[2] = { -stepSize, stepSize }; // down, up
};

} // namespace tt
