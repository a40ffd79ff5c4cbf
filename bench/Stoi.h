#pragma once
// Short-time objective intelligibility (STOI) of a processed speech signal against the clean
// one: Taal, Hendriks, Heusdens and Jensen, "An Algorithm for Intelligibility Prediction of
// Time-Frequency Weighted Noisy Speech", IEEE TASLP 19(7), 2011. Both signals are resampled to
// 10 kHz; frames of 256 samples (Hann, half overlap) more than 40 dB below the loudest clean
// frame are dropped; 15 one-third-octave bands from 150 Hz; 384 ms (30-frame) envelopes, the
// processed one normalised and clipped at a signal-to-distortion ratio of -15 dB; the result is
// the mean correlation of the envelopes, about 0 (unintelligible) to 1 (identical).
//
// The benchmarks judge the settings search with it; it is no part of the program.

#include <cstdint>
#include <span>
#include <vector>

namespace tt::bench {

// Resamples levels from a rate to another with the resampler's high quality.
std::vector<double> resampleLevels(
    std::span<const double> levels, std::uint32_t fromRateHz, std::uint32_t toRateHz);

// STOI of `processed` against `clean`, both at rateHz and of the same length (the longer one is
// cut). 0 when the clean signal is too short for one 384 ms envelope.
double stoi(std::span<const double> clean, std::span<const double> processed, std::uint32_t rateHz);

// The music judge: the SNR in dB of `processed` against `clean` after the best overall gain,
// both limited to the band below topHz (by resampling to twice that rate).
double bandLimitedGainSnrDb(std::span<const double> clean, std::span<const double> processed,
    std::uint32_t rateHz, std::uint32_t topHz = 4000);

} // namespace tt::bench
