#include "app/PieceMeasure.h"

#include "modulator/MeasuredFrames.h"
#include "modulator/PinModel.h"

#include <algorithm>

namespace tt {

PieceMeasure::PieceMeasure(
    const WaveHeader& header, const ModulatorSettings& settings, std::int64_t frameCount)
    : header_(header)
    , settings_(settings)
    , frameBytes_(std::size_t(std::max<std::int64_t>(header.bytesPerFrame(), 1)))
    , countedBytesLeft_(std::uint64_t(std::max<std::int64_t>(frameCount, 0)) * frameBytes_)
    , segmental_(SegmentalSnr::segmentFramesAt(header.sampleRateHz))
{
    if (frameCount > 0) {
        audible_.emplace(header.sampleRateHz, PinModel(settings, header).maxAmp);
    }
}

void PieceMeasure::add(std::span<const std::uint8_t> in, std::span<const std::uint8_t> decided)
{
    in = in.first(std::size_t(std::min<std::uint64_t>(in.size(), countedBytesLeft_)));
    countedBytesLeft_ -= in.size();
    if (const std::size_t split = pending_.size() % frameBytes_; split != 0) {
        const std::size_t completing = std::min(frameBytes_ - split, in.size());
        pending_.insert(pending_.end(), in.begin(), in.begin() + std::ptrdiff_t(completing));
        in = in.subspan(completing);
    }
    // The frames still pending are decided first, then those of this piece.
    const std::size_t fromPending = std::min(
        pending_.size() / frameBytes_ * frameBytes_, decided.size() / frameBytes_ * frameBytes_);
    measure({ pending_.data(), fromPending }, decided.first(fromPending));
    pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(fromPending));
    decided = decided.subspan(fromPending);
    if (!pending_.empty()) {
        pending_.insert(pending_.end(), in.begin(), in.end());
        return;
    }
    const std::size_t fromPiece = std::min(
        in.size() / frameBytes_ * frameBytes_, decided.size() / frameBytes_ * frameBytes_);
    measure(in.first(fromPiece), decided.first(fromPiece));
    pending_.assign(in.begin() + std::ptrdiff_t(fromPiece), in.end());
}

void PieceMeasure::measure(std::span<const std::uint8_t> in, std::span<const std::uint8_t> decided)
{
    if (in.empty() || !audible_) {
        return;
    }
    // Both measures' running state is copied for the loop so that it stays in registers; the
    // audible measure's segments stay where they are.
    SegmentalSnr segmental = segmental_;
    AudibleSnr::Running audible = audible_->running();
    forEachFrameOf(header_, in, settings_, decided, std::int64_t(in.size() / frameBytes_),
        [&](double target, double played) {
            segmental.add(target, played);
            audible_->add(audible, target, played);
        });
    segmental_ = segmental;
    audible_->resume(audible);
}

} // namespace tt
