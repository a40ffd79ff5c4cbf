#pragma once
// The quality measure of a one-bit rendering: segmental signal-to-noise ratio of the played
// level against the input level. Each frame's target (the input times the gain, as the model
// sees it) is compared with the level after that frame's update, the sample the one-bit image
// holds. The frames fall into segments of 20 ms; each segment's SNR is limited to -10 ... +60 dB
// so that silent passages and perfect ones do not dominate, and the segments' values are
// averaged. Unlike the "Error" figure, a rendering that lags the input by a frame scores worse.

#include "modulator/ConversionResult.h"
#include "modulator/ModulatorSettings.h"
#include "wave/WaveHeader.h"

#include <cstdint>
#include <span>

namespace tt {

class SegmentalSnr {
public:
    static constexpr double segmentSeconds = 0.020;
    static constexpr double floorDb = -10.0;
    static constexpr double ceilingDb = 60.0;

    // Frames in a 20 ms segment at the rate, rounded half to even; at least 1.
    static std::int64_t segmentFramesAt(std::uint32_t sampleRateHz);

    explicit SegmentalSnr(std::int64_t segmentFrames);

    // One frame: its target level and the level played for it, in sample units. Always inlined,
    // as the pass measures every frame; only a finished segment costs a call.
    [[gnu::always_inline]] void add(double target, double played)
    {
        signalEnergy_ += target * target;
        const double error = target - played;
        noiseEnergy_ += error * error;
        if (++framesInSegment_ == segmentFrames_) {
            // Inline, the segment's dB by value: no call sees the measure's address, so a pass
            // that keeps a copy of it for a run keeps its sums in registers.
            sumDb_ += segmentDb(signalEnergy_, noiseEnergy_);
            ++segmentCount_;
            framesInSegment_ = 0;
            signalEnergy_ = 0.0;
            noiseEnergy_ = 0.0;
        }
    }

    // Drops the frames of an unfinished segment, so that a measure over separate stretches of a
    // sound never mixes the end of one stretch with the start of the next.
    void discardPartialSegment();

    // The mean over the finished segments. A measure that has not finished one segment scores
    // its frames as one segment; with no frames at all it is 0.
    double meanDb() const;

    std::int64_t segmentCount() const { return segmentCount_; }

    // The limited SNR of one segment: +60 dB without noise, -10 dB for noise over silence.
    static double segmentDb(double signalEnergy, double noiseEnergy);

private:
    std::int64_t segmentFrames_ = 1;
    std::int64_t framesInSegment_ = 0;
    double signalEnergy_ = 0.0;
    double noiseEnergy_ = 0.0;
    std::int64_t segmentCount_ = 0;
    double sumDb_ = 0.0;
};

// The measure over two equally long runs of levels, in segments of segmentFrames.
double segmentalSnrDb(
    std::span<const double> targets, std::span<const double> played, std::int64_t segmentFrames);

// The measure of a converted sound: the targets come from the data block with the settings'
// gain, the played levels from the sample area that a conversion with those settings filled
// (whatever modulator chose its bits). Covers the frames the pass walks.
double segmentalSnrDb(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<const std::uint8_t> sampleArea);

} // namespace tt
