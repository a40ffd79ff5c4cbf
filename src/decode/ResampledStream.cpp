#include "decode/ResampledStream.h"

#include "decode/Pcm16.h"

#include <algorithm>

namespace tt {
namespace {

    // Frames per call of the resampler, in and out.
    constexpr std::size_t framesPerStep = 8192;

} // namespace

std::int64_t ResampledStream::resampledFrameCount(
    std::int64_t frameCount, std::uint32_t fromRateHz, std::uint32_t toRateHz)
{
    if (frameCount <= 0 || fromRateHz == 0) {
        return 0;
    }
    // Whole seconds' worth and the rest apart, so no product leaves 64 bits for rates below 2^32.
    const auto frames = std::uint64_t(frameCount);
    const std::uint64_t whole = frames / fromRateHz;
    const std::uint64_t rest = frames % fromRateHz;
    return std::int64_t(whole * toRateHz + (rest * toRateHz + fromRateHz / 2) / fromRateHz);
}

bool ResampledStream::open(std::unique_ptr<SampleStream> source, std::uint32_t rateHz)
{
    const WaveHeader& from = source->header();
    if ((from.bitsPerSample != 8 && from.bitsPerSample != 16) || from.channelCount < 1
        || !resampler_.create(from.sampleRateHz, rateHz, from.channelCount)) {
        return false;
    }
    const auto sourceFrameBytes = std::uint64_t(from.bytesPerFrame());
    const std::int64_t frames = resampledFrameCount(
        std::int64_t(source->sizeBytes() / sourceFrameBytes), from.sampleRateHz, rateHz);
    setFormat(from.channelCount, rateHz, std::uint64_t(frames));
    if (sizeBytes() == 0) {
        return false;
    }
    sourceSizeBytes_ = source->sizeBytes() / sourceFrameBytes * sourceFrameBytes;
    source_ = std::move(source);
    const auto channels = std::size_t(from.channelCount);
    sourceBytes_.resize(framesPerStep * std::size_t(sourceFrameBytes));
    input_.resize(framesPerStep * channels);
    output_.resize(framesPerStep * channels);
    return true;
}

bool ResampledStream::readSource()
{
    const WaveHeader& from = source_->header();
    const auto frameBytes = std::size_t(from.bytesPerFrame());
    const std::size_t bytes = std::size_t(
        std::min<std::uint64_t>(sourceBytes_.size(), sourceSizeBytes_ - sourceReadBytes_));
    if (!source_->readAt(sourceReadBytes_, { sourceBytes_.data(), bytes })) {
        return false;
    }
    sourceReadBytes_ += bytes;
    const std::size_t sampleBytes = std::size_t(from.bytesPerSample());
    for (std::size_t i = 0; i < bytes / sampleBytes; ++i) {
        input_[i] = levelOfSample(sourceBytes_.data() + i * sampleBytes, from.bitsPerSample);
    }
    inputFrom_ = 0;
    inputFrames_ = bytes / frameBytes;
    return true;
}

std::optional<std::size_t> ResampledStream::produce(std::span<std::uint8_t> out)
{
    const auto channels = std::size_t(header().channelCount);
    const std::size_t frameBytes = 2 * channels;
    std::size_t made = 0;
    while (made < out.size() && !drained_) {
        if (inputFrom_ == inputFrames_ && sourceReadBytes_ < sourceSizeBytes_ && !readSource()) {
            return std::nullopt;
        }
        // Once the source has ended, an empty input drains what the resampler holds.
        const std::span<const double> input(
            input_.data() + inputFrom_ * channels, (inputFrames_ - inputFrom_) * channels);
        const std::size_t outputFrames = std::min(framesPerStep, (out.size() - made) / frameBytes);
        Resampler::Step step;
        if (!resampler_.process(input, { output_.data(), outputFrames * channels }, step)) {
            return std::nullopt;
        }
        inputFrom_ += step.inputFrames;
        putPcm16({ output_.data(), step.outputFrames * channels }, out.data() + made);
        made += step.outputFrames * frameBytes;
        drained_ = input.empty() && step.outputFrames == 0;
    }
    return made;
}

bool ResampledStream::restart()
{
    if (!resampler_.clear()) {
        return false;
    }
    sourceReadBytes_ = 0;
    inputFrom_ = 0;
    inputFrames_ = 0;
    drained_ = false;
    return true;
}

} // namespace tt
