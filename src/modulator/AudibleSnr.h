#pragma once
// The quality measure that ranks settings as a listener would: the audible SNR of the played
// level against the input level, in segments of 20 ms, each segment's dB weighted by its
// energy.
//
// It differs from the plain segmental SNR in four ways, each for what a listener hears:
//  - A segment counts by its energy, not as one in the segment count: the loud passages carry
//    what is heard, and a sound with many pauses is not judged by its pauses.
//  - Every segment is measured against a reference level: the sound's mean power
//    referenceBelowMeanDb below it (never below an absolute floor). A segment's value is
//    10 log10((signal + reference) / (noise + reference)). In loud passages that is the
//    segment's SNR; in a pause it is 0 dB while the pin's idle noise stays below the reference,
//    and falls by the dB the noise rises above it. A pause that the pin plays quieter than
//    inaudible gains nothing, so a setting cannot win by playing everything too quietly, and a
//    one-bit sound quieter than the input always loses where the input is loud.
//  - The error is weighted by a low-pass at the top of the audible band (audibleTopHz), at
//    rates whose band reaches beyond it: the pin's toggling at half a high rate is not heard.
//  - Segments are limited below at floorDb only, so that a few broken segments do not decide.
//
// The reference depends on the targets alone, never on the played levels, so every rendering
// of the same input at the same Volume is measured against the same reference.

#include "modulator/ModulatorSettings.h"
#include "wave/WaveHeader.h"

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

namespace tt {

class AudibleSnr {
public:
    static constexpr double segmentSeconds = 0.020;
    static constexpr double floorDb = -10.0;
    static constexpr double referenceBelowMeanDb = 30.0;
    // The reference never falls below this level under full scale: idle noise that quiet is
    // not heard at any listening level a one-bit sound is played at.
    static constexpr double absoluteFloorDbfs = -70.0;
    static constexpr double audibleTopHz = 12000.0;

    // A measure for a sound at the rate whose levels run up to +-fullScale (128 for 8-bit
    // sounds, 32768 for 16-bit ones).
    AudibleSnr(std::uint32_t sampleRateHz, double fullScale);

    // The per-frame state: the weighting filter's memory and the unfinished segment. A pass
    // keeps it in registers over a run of frames: it takes it (running()), adds frames to it and
    // hands it back (resume()); no call sees its address.
    struct Running {
        double z1 = 0.0;
        double z2 = 0.0;
        double signalEnergy = 0.0;
        double noiseEnergy = 0.0;
        std::int64_t framesInSegment = 0;
    };
    Running running() const { return running_; }
    void resume(const Running& state) { running_ = state; }

    // One frame: its target level and the level played for it, in sample units. Always inlined,
    // as the pass measures every frame; only a finished segment costs a call.
    [[gnu::always_inline]] void add(Running& state, double target, double played)
    {
        double error = target - played;
        if (weighted_) {
            // Direct form II transposed, each expression in its written order.
            const double out = b0_ * error + state.z1;
            state.z1 = b1_ * error - a1_ * out + state.z2;
            state.z2 = b0_ * error - a2_ * out;
            error = out;
        }
        state.signalEnergy += target * target;
        state.noiseEnergy += error * error;
        if (++state.framesInSegment == segmentFrames_) {
            keepSegment(state.signalEnergy, state.noiseEnergy);
            state.framesInSegment = 0;
            state.signalEnergy = 0.0;
            state.noiseEnergy = 0.0;
        }
    }
    [[gnu::always_inline]] void add(double target, double played) { add(running_, target, played); }

    // Ends a stretch: drops the frames of an unfinished segment and the weighting filter's
    // memory, so that a measure over separate stretches of a sound never mixes the end of one
    // stretch with the start of the next.
    void endStretch();

    // The mean over the finished segments, in dB. A measure that has not finished one segment
    // scores its frames as one segment; with no frames at all it is 0.
    double meanDb() const;

    // One segment's value against a reference energy (all energies over the segment).
    static double segmentDb(double signalEnergy, double noiseEnergy, double referenceEnergy);

private:
    struct Segment {
        double signalEnergy;
        double noiseEnergy;
    };

    void keepSegment(double signalEnergy, double noiseEnergy);
    double meanOf(const std::vector<Segment>& segments) const;

    std::int64_t segmentFrames_ = 1;
    double floorEnergy_ = 0.0; // the absolute floor's energy over a segment
    bool weighted_ = false;
    double b0_ = 0.0, b1_ = 0.0, a1_ = 0.0, a2_ = 0.0; // b2 equals b0 for this low-pass
    Running running_;
    std::vector<Segment> segments_;
};

// The measure of a converted sound: the targets come from the data block with the settings'
// gain, the played levels from the sample area that a conversion with those settings filled.
double audibleSnrDb(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<const std::uint8_t> sampleArea);

} // namespace tt
