#include "modulator/SegmentalSnr.h"

#include "modulator/PinModel.h"
#include "modulator/WholeFileConversion.h"
#include "wave/FrameReader.h"

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

void SegmentalSnr::closeSegment()
{
    sumDb_ += segmentDb(signalEnergy_, noiseEnergy_);
    ++segmentCount_;
    discardPartialSegment();
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
    const std::int64_t frames = conversionFrameCount(header, data.size(), sampleArea.size());
    const PinModel model(settings, header);
    SegmentalSnr snr(SegmentalSnr::segmentFramesAt(header.sampleRateHz));
    const std::size_t strideBytes = std::size_t(header.bytesPerFrame());
    const bool eightBit = header.bitsPerSample == 8;
    for (std::int64_t f = 0; f < frames; ++f) {
        const std::size_t at = std::size_t(f) * strideBytes;
        const double target = model.targetOf(readChannels(data.data() + at, header));
        // The image stores levels as they are, without the negation the input gets on reading.
        const std::uint8_t* sample = sampleArea.data() + at;
        const double played
            = eightBit ? double(readSample8(sample)) : double(-readSample16(sample));
        snr.add(target, played);
    }
    return snr.meanDb();
}

} // namespace tt
