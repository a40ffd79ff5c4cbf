#pragma once
// The leaky one-bit pin: at every frame the pin drives the level up or down by a fixed step and
// the integrator leaks a fixed fraction of it. This is the only implementation of the update
// rule; the whole-file conversion, the zoom view and the export all run it.
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
        previousModel = modelLevel;
        const double error = modelLevel - targetLevel;
        if (infiniteLeak_) {
            // Value 1 at its maximum makes the leak infinite and the arithmetic meaningless;
            // the pin then swings from limit to limit, starting at the top.
            modelLevel = modelLevel > 0.0 ? -maxAmp : maxAmp;
        } else {
            // The pin drives up only when the target lies strictly above the level. The drive is
            // picked by index: the comparison is unpredictable for real sound, and a compiler
            // may turn a conditional expression into a branch.
            const double drive = drives_[targetLevel > modelLevel ? 1 : 0];
            modelLevel = modelLevel + (drive - modelLevel * leakFactor);
            if (modelLevel < -maxAmp) {
                modelLevel = -maxAmp;
            }
            if (modelLevel > maxAmp) {
                modelLevel = maxAmp;
            }
        }
        return std::fabs(error);
    }

    // The output bit of the last step: 1 when the level fell.
    bool outputBit() const { return modelLevel < previousModel; }

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
    const double drives_[2] = { -stepSize, stepSize }; // down, up
};

} // namespace tt
