#include "modulator/AudibleSnr.h"

#include "modulator/MeasuredFrames.h"
#include "modulator/PinModel.h"
#include "modulator/SegmentalSnr.h"

#include <algorithm>
#include <numbers>

namespace tt {
namespace {

    // Below this share of the rate a two-pole low-pass is well formed; a band top above it lies
    // at or beyond the rate's own band, where there is nothing to weight.
    constexpr double highestCutoffShare = 0.45;

} // namespace

AudibleSnr::AudibleSnr(std::uint32_t sampleRateHz, double fullScale)
    : segmentFrames_(SegmentalSnr::segmentFramesAt(sampleRateHz))
{
    const double floorLevel = fullScale * std::pow(10.0, absoluteFloorDbfs / 20.0);
    floorEnergy_ = floorLevel * floorLevel * double(segmentFrames_);
    const double rate = double(sampleRateHz);
    if (rate > 0.0 && audibleTopHz < highestCutoffShare * rate) {
        // A Butterworth low-pass by the bilinear transform: flat through the audible band, and
        // a zero at half the rate, where a pin that toggles every frame puts its idle noise.
        const double k = std::tan(std::numbers::pi * audibleTopHz / rate);
        const double norm = 1.0 / (1.0 + std::numbers::sqrt2 * k + k * k);
        b0_ = k * k * norm;
        b1_ = 2.0 * b0_;
        a1_ = 2.0 * (k * k - 1.0) * norm;
        a2_ = (1.0 - std::numbers::sqrt2 * k + k * k) * norm;
        weighted_ = true;
    }
}

double AudibleSnr::segmentDb(double signalEnergy, double noiseEnergy, double referenceEnergy)
{
    const double heard = noiseEnergy + referenceEnergy;
    if (heard <= 0.0) {
        return 0.0; // silence played for silence, with nothing to compare: nothing is heard
    }
    const double ratio = (signalEnergy + referenceEnergy) / heard;
    return ratio > 0.0 ? std::max(floorDb, 10.0 * std::log10(ratio)) : floorDb;
}

void AudibleSnr::keepSegment(double signalEnergy, double noiseEnergy)
{
    segments_.push_back({ signalEnergy, noiseEnergy });
}

void AudibleSnr::endStretch()
{
    running_ = {};
}

double AudibleSnr::meanOf(const std::vector<Segment>& segments) const
{
    double signalSum = 0.0;
    for (const Segment& s : segments) {
        signalSum += s.signalEnergy;
    }
    const double below = std::pow(10.0, -referenceBelowMeanDb / 10.0);
    const double reference = std::max(signalSum / double(segments.size()) * below, floorEnergy_);
    // Each segment counts by its energy (with the reference's), as loud passages dominate what
    // is heard: a pause weighs as much as a passage at the reference level.
    double weightedDb = 0.0;
    double weightSum = 0.0;
    for (const Segment& s : segments) {
        const double weight = s.signalEnergy + reference;
        weightedDb += weight * segmentDb(s.signalEnergy, s.noiseEnergy, reference);
        weightSum += weight;
    }
    return weightSum > 0.0 ? weightedDb / weightSum : 0.0;
}

double AudibleSnr::meanDb() const
{
    if (!segments_.empty()) {
        return meanOf(segments_);
    }
    if (running_.framesInSegment == 0) {
        return 0.0;
    }
    // The frames of a sound shorter than a segment, as one segment; its floor scaled to them.
    AudibleSnr partial = *this;
    partial.floorEnergy_ = floorEnergy_ * double(running_.framesInSegment) / double(segmentFrames_);
    return partial.meanOf({ { running_.signalEnergy, running_.noiseEnergy } });
}

double audibleSnrDb(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& settings, std::span<const std::uint8_t> sampleArea)
{
    AudibleSnr snr(header.sampleRateHz, PinModel(settings, header).maxAmp);
    forEachMeasuredFrame(header, data, settings, sampleArea,
        [&](double target, double played) { snr.add(target, played); });
    return snr.meanDb();
}

} // namespace tt
