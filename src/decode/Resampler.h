#pragma once

#include <cstddef>
#include <cstdint>
#include <soxr.h>
#include <span>

namespace tt {

// The resampler library's high-quality converter between two rates, for interleaved levels of
// any number of channels. Released with its owner.
class Resampler {
public:
    Resampler() = default;
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // False when the library refuses the rates or channel count.
    bool create(std::uint32_t inputRateHz, std::uint32_t outputRateHz, int channelCount);

    struct Step {
        std::size_t inputFrames = 0; // taken from the input
        std::size_t outputFrames = 0; // written to the output
    };
    // Takes what it can of `input` and writes what it can to `output` (whole frames each); an
    // empty input drains the frames still held once the input has ended. False on failure.
    bool process(std::span<const double> input, std::span<double> output, Step& step);
    // Forgets every frame taken, for a new pass from the beginning.
    bool clear();

private:
    soxr_t soxr_ = nullptr;
    int channelCount_ = 0;
};

} // namespace tt
