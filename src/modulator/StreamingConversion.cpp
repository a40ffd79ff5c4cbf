#include "modulator/StreamingConversion.h"

namespace tt {

StreamingConversion::StreamingConversion(const WaveHeader& header,
    const ModulatorSettings& settings, std::int64_t frameCount, bool measuresSnr)
    : header_(header)
    , frameCount_(std::max<std::int64_t>(frameCount, 0))
    , frameBytes_(std::size_t(std::max<std::int64_t>(header.bytesPerFrame(), 1)))
    , measuresSnr_(measuresSnr)
    , snr_(SegmentalSnr::segmentFramesAt(header.sampleRateHz))
{
    if (frameCount_ > 0) {
        model_.emplace(settings, header);
        modulator_.emplace(modulatorFor(settings.modulator, *model_));
        if (measuresSnr_) {
            audible_.emplace(header.sampleRateHz, model_->maxAmp);
        }
    }
}

std::size_t StreamingConversion::outputBytesFor(std::size_t inBytes) const
{
    if (takenFrames_ >= frameCount_) {
        return 0;
    }
    const std::int64_t completed = std::min(
        std::int64_t((splitFrameBytes_ + inBytes) / frameBytes_), frameCount_ - takenFrames_);
    return std::size_t(completed) * frameBytes_;
}

std::size_t StreamingConversion::finishOutputBytes() const
{
    return std::size_t(takenFrames_ - decidedFrames_) * frameBytes_;
}

} // namespace tt
