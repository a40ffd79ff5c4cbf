#include "modulator/SegmentalSnr.h"

#include "modulator/MeasuredFrames.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace tt {

std::int64_t SegmentalSnr::segmentFramesAt(std::uint32_t sampleRateHz)
{
    // 20 ms is a fiftieth of a second; rounded exactly in integers.
    std::int64_t frames = std::int64_t(sampleRateHz) / 50;
    const std::int64_t twiceRemainder = 2 * (std::int64_t(sampleRateHz) % 50);
    if (twiceRemainder > 50 || (twiceRemainder == 50 && frames % 2 != 0)) {
        ++frames;
    }
    return std::max<std::int64_t>(frames, 1);
}

SegmentalSnr::SegmentalSnr(std::int64_t segmentFrames)
    : segmentFrames_(std::max<std::int64_t>(segmentFrames, 1))
{
}

double SegmentalSnr::segmentDb(double signalEnergy, double noiseEnergy)
{
    if (noiseEnergy <= 0.0) {
        return ceilingDb;
    }
    if (signalEnergy <= 0.0) {
        return floorDb;
    }
    return std::clamp(10.0 * std::log10(signalEnergy / noiseEnergy), floorDb, ceilingDb);
}

void SegmentalSnr::discardPartialSegment()
{
    framesInSegment_ = 0;
    signalEnergy_ = 0.0;
    noiseEnergy_ = 0.0;
}

double SegmentalSnr::meanDb() const
{
    if (segmentCount_ > 0) {
        return sumDb_ / double(segmentCount_);
    }
    return framesInSegment_ > 0 ? segmentDb(signalEnergy_, noiseEnergy_) : 0.0;
}

double segmentalSnrDb(
    std::span<const double> targets, std::span<const double> played, std::int64_t segmentFrames)
{
    assert(targets.size() == played.size());
    SegmentalSnr snr(segmentFrames);
    for (std::size_t i = 0; i < targets.size() && i < played.size(); ++i) {
        snr.add(targets[i], played[i]);
    }
    return snr.meanDb();
}

double segmentalSnrDb(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<const std::uint8_t> sampleArea)
{
    SegmentalSnr snr(SegmentalSnr::segmentFramesAt(header.sampleRateHz));
    forEachMeasuredFrame(header, data, settings, sampleArea,
        [&](double target, double played) { snr.add(target, played); });
    return snr.meanDb();
}

} // namespace tt
