#include "decode/Resampler.h"

namespace tt {

Resampler::~Resampler()
{
    if (soxr_ != nullptr) {
        soxr_delete(soxr_);
    }
}

bool Resampler::create(std::uint32_t inputRateHz, std::uint32_t outputRateHz, int channelCount)
{
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    // One thread: the same input gives the same output bytes on every run and machine.
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    soxr_t created = soxr_create(double(inputRateHz), double(outputRateHz), unsigned(channelCount),
        &error, &io, &quality, &runtime);
    if (error != nullptr || created == nullptr) {
        if (created != nullptr) {
            soxr_delete(created);
        }
        return false;
    }
    if (soxr_ != nullptr) {
        soxr_delete(soxr_);
    }
    soxr_ = created;
    channelCount_ = channelCount;
    return true;
}

bool Resampler::process(std::span<const double> input, std::span<double> output, Step& step)
{
    if (soxr_ == nullptr) {
        return false;
    }
    const auto channels = std::size_t(channelCount_);
    std::size_t taken = 0;
    std::size_t written = 0;
    const soxr_error_t error = soxr_process(soxr_, input.empty() ? nullptr : input.data(),
        input.size() / channels, &taken, output.data(), output.size() / channels, &written);
    step.inputFrames = taken;
    step.outputFrames = written;
    return error == nullptr;
}

bool Resampler::clear()
{
    return soxr_ != nullptr && soxr_clear(soxr_) == nullptr;
}

} // namespace tt
