#include "app/LiveOneBitSound.h"

#include "wave/FrameCount.h"
#include "wave/SampleFormat.h"

#include <algorithm>
#include <cstring>

namespace tt {
namespace {

    // Frames taken into the modulator at a time: a small part of what the server asks for at
    // once, so that a new setting restarts little converted ahead for nothing.
    constexpr std::int64_t framesTakenAtOnce = 512;

} // namespace

LiveOneBitSound::LiveOneBitSound(const WaveHeader& header, std::shared_ptr<const SampleBytes> data,
    std::span<const std::uint8_t> part, const ModulatorSettings& settings, int maxChannels)
    : header_(header)
    , outHeader_(header)
    , data_(std::move(data))
    , part_(part)
    , frameBytes_(std::size_t(std::max<std::int64_t>(header.bytesPerFrame(), 1)))
    , settings_(settings)
    , running_(settings)
{
    outHeader_.channelCount = header.channelCount > maxChannels ? 2 : header.channelCount;
    outHeader_.blockAlign = std::uint16_t(outHeader_.channelCount * (header.bitsPerSample / 8));
    outHeader_.byteRate = header.sampleRateHz * outHeader_.blockAlign;
    outFrameBytes_ = std::size_t(std::max<std::int64_t>(outHeader_.bytesPerFrame(), 1));
    if (knownSampleBits(header.bitsPerSample) && header.channelCount > 0) {
        frameCount_ = std::int64_t(part_.size() / frameBytes_);
        countedFrames_ = std::min(frameCount(header, part_.size()), frameCount_);
    }
    restart(0, 0.0);
}

void LiveOneBitSound::setSettings(const ModulatorSettings& settings)
{
    const std::lock_guard lock(settingsMutex_);
    settings_ = settings;
    settingsGeneration_.fetch_add(1, std::memory_order_release);
}

std::uint64_t LiveOneBitSound::sizeBytes() const
{
    return std::uint64_t(frameCount_) * outFrameBytes_;
}

bool LiveOneBitSound::readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out)
{
    if (offsetBytes % outFrameBytes_ != 0 || out.size() % outFrameBytes_ != 0
        || offsetBytes > sizeBytes() || out.size() > sizeBytes() - offsetBytes) {
        return false;
    }
    applyNewSettings();
    const auto frame = std::int64_t(offsetBytes / outFrameBytes_);
    if (frame != nextFrame_) {
        restart(0, 0.0);
        writeFrames(frame, nullptr);
    }
    writeFrames(std::int64_t(out.size() / outFrameBytes_), out.data());
    return true;
}

void LiveOneBitSound::applyNewSettings()
{
    if (settingsGeneration_.load(std::memory_order_acquire) == appliedGeneration_) {
        return;
    }
    {
        const std::lock_guard lock(settingsMutex_);
        running_ = settings_;
        appliedGeneration_ = settingsGeneration_.load(std::memory_order_relaxed);
    }
    restart(nextFrame_, levelAtNext_);
}

void LiveOneBitSound::restart(std::int64_t frame, double level)
{
    pending_.clear();
    pendingAt_ = 0;
    takenFrames_ = frame;
    flushed_ = false;
    nextFrame_ = frame;
    levelAtNext_ = level;
    modulator_.reset();
    pin_.reset();
    if (countedFrames_ > 0) {
        pin_.emplace(running_, header_);
        pin_->modelLevel = level;
        modulator_.emplace(modulatorFor(running_.modulator, *pin_));
    }
}

bool LiveOneBitSound::decideMore()
{
    if (!pin_ || (flushed_ && takenFrames_ >= countedFrames_)) {
        return false;
    }
    if (pendingAt_ == pending_.size()) {
        pending_.clear();
        pendingAt_ = 0;
    }
    const std::int64_t frames
        = std::clamp<std::int64_t>(countedFrames_ - takenFrames_, 0, framesTakenAtOnce);
    const bool flush = frames == 0;
    const std::uint8_t* in = part_.data() + std::size_t(takenFrames_) * frameBytes_;
    withModulation<false>(header_, *modulator_, [&](const auto& layout, auto& modulator) {
        runModulation(
            layout, in, frames, flush, *pin_, modulator, [&](const ModulatedFrame& decided) {
                pending_.push_back({ pin_->modelLevel, decided.level });
            });
    });
    takenFrames_ += frames;
    flushed_ = flush;
    return true;
}

// Hands out (or with a null `out` skips) the next `frames` frames.
void LiveOneBitSound::writeFrames(std::int64_t frames, std::uint8_t* out)
{
    if (frames <= 0) {
        return;
    }
    const bool original = hearsOriginal();
    withSampleFormat(header_.bitsPerSample, [&]<class Samples>(Samples) {
        const FrameLayout<Samples, 0> layout { outHeader_.channelCount };
        for (std::int64_t i = 0; i < frames; ++i, ++nextFrame_) {
            const std::uint8_t* source = part_.data() + std::size_t(nextFrame_) * frameBytes_;
            // Every counted frame gets decided; a frame that were not would play silence.
            bool decided = nextFrame_ < countedFrames_;
            while (decided && pendingAt_ == pending_.size()) {
                decided = decideMore();
            }
            std::int32_t level = 0;
            if (decided) {
                const Decided& frame = pending_[pendingAt_++];
                levelAtNext_ = frame.modelLevel;
                level = frame.level;
            }
            if (out == nullptr) {
                continue;
            }
            if (original) {
                std::memcpy(out, source, outFrameBytes_);
            } else if (decided) {
                layout.write(out, level);
            } else {
                std::memset(out, Samples::silenceByte, outFrameBytes_);
            }
            out += outFrameBytes_;
        }
    });
}

} // namespace tt
