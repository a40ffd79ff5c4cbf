#include "decode/ResampledStream.h"

#include "decode/Pcm16.h"
#include "text/TextFormat.h"
#include "wave/SampleFormat.h"
#include "wave/WaveParser.h"

#include <algorithm>

namespace tt {
namespace {

    // Frames per call of the resampler, in and out; fewer for many channels, so one step's
    // levels stay within samplesPerStep.
    constexpr std::size_t framesPerStep = 8192;
    constexpr std::size_t samplesPerStep = 65536;

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

std::string ResampledStream::refusal(
    const WaveHeader& from, std::uint64_t frameCount, std::uint32_t rateHz)
{
    if (from.channelCount < 1 || from.sampleRateHz == 0 || rateHz == 0) {
        return "It has no channel or no rate.";
    }
    // Whole times the rate is raised, at least 1.
    const std::uint64_t raise = (std::uint64_t(rateHz) + from.sampleRateHz - 1) / from.sampleRateHz;
    const auto channelLimit = std::min<std::uint64_t>(
        maxChannels, std::max<std::uint64_t>(1, maxChannelsTimesRaise / raise));
    if (std::uint64_t(from.channelCount) > channelLimit) {
        return "It has " + toDecimal(from.channelCount) + " channels; at most "
            + toDecimal(std::int64_t(channelLimit)) + " are resampled"
            + (channelLimit < maxChannels ? " from " + toDecimal(from.sampleRateHz) + " Hz to "
                        + toDecimal(rateHz) + " Hz."
                                          : std::string("."));
    }
    // Beyond 2^40 frames no sound is held either way; below, no product leaves 64 bits.
    const std::int64_t frames = resampledFrameCount(
        std::int64_t(std::min<std::uint64_t>(frameCount, std::uint64_t(1) << 40)),
        from.sampleRateHz, rateHz);
    if (frames <= 0) {
        return "It would have no frame at that rate.";
    }
    const std::uint64_t frameBytes = 2 * std::uint64_t(from.channelCount);
    if (std::uint64_t(frames) > maxDataSizeBytes / frameBytes) {
        return "It would have " + toDecimal(frames)
            + " frames at that rate, more than a sound holds (4 GiB).";
    }
    return {};
}

bool ResampledStream::open(
    std::unique_ptr<SampleStream> source, std::uint32_t rateHz, std::string& reason)
{
    const WaveHeader& from = source->header();
    if (!knownSampleBits(from.bitsPerSample)) {
        reason = "Only 8- and 16-bit sound is resampled.";
        return false;
    }
    const auto sourceFrameBytes = std::uint64_t(from.bytesPerFrame());
    const std::uint64_t sourceFrames = source->sizeBytes() / sourceFrameBytes;
    reason = refusal(from, sourceFrames, rateHz);
    if (!reason.empty()) {
        return false;
    }
    if (!resampler_.create(from.sampleRateHz, rateHz, from.channelCount)) {
        reason = "The resampler refuses these rates.";
        return false;
    }
    setFormat(from.channelCount, rateHz,
        std::uint64_t(resampledFrameCount(std::int64_t(sourceFrames), from.sampleRateHz, rateHz)));
    sourceSizeBytes_ = sourceFrames * sourceFrameBytes;
    source_ = std::move(source);
    const auto channels = std::size_t(from.channelCount);
    framesPerStep_ = std::clamp<std::size_t>(samplesPerStep / channels, 1, framesPerStep);
    sourceBytes_.resize(framesPerStep_ * std::size_t(sourceFrameBytes));
    input_.resize(framesPerStep_ * channels);
    output_.resize(framesPerStep_ * channels);
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
    withSampleFormat(from.bitsPerSample, [&]<class Samples>(Samples) {
        for (std::size_t i = 0; i < bytes / sampleBytes; ++i) {
            input_[i] = levelOfSample<Samples>(sourceBytes_.data() + i * sampleBytes);
        }
    });
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
        const std::size_t outputFrames = std::min(framesPerStep_, (out.size() - made) / frameBytes);
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
