#include "Stoi.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <soxr.h>
#include <stdexcept>

namespace tt::bench {
namespace {

    constexpr std::uint32_t analysisRateHz = 10000;
    constexpr std::size_t frameLength = 256;
    constexpr std::size_t hop = frameLength / 2;
    constexpr std::size_t fftLength = 512;
    constexpr int bandCount = 15;
    constexpr double lowestCentreHz = 150.0;
    constexpr std::size_t envelopeFrames = 30; // 384 ms
    constexpr double clipDb = -15.0;
    constexpr double dynamicRangeDb = 40.0;

    // The Hann window of the frames, without its zero end points.
    const std::vector<double>& window()
    {
        static const std::vector<double> w = [] {
            std::vector<double> v(frameLength);
            for (std::size_t i = 0; i < frameLength; ++i) {
                v[i] = 0.5
                    - 0.5
                        * std::cos(
                            2.0 * std::numbers::pi * double(i + 1) / double(frameLength + 1));
            }
            return v;
        }();
        return w;
    }

    using Frames = std::vector<std::vector<double>>;

    Frames framesOf(std::span<const double> x)
    {
        Frames frames;
        for (std::size_t at = 0; at + frameLength < x.size(); at += hop) {
            std::vector<double> f(frameLength);
            for (std::size_t i = 0; i < frameLength; ++i) {
                f[i] = window()[i] * x[at + i];
            }
            frames.push_back(std::move(f));
        }
        return frames;
    }

    std::vector<double> overlapAdd(const Frames& frames)
    {
        if (frames.empty()) {
            return {};
        }
        std::vector<double> out((frames.size() - 1) * hop + frameLength, 0.0);
        for (std::size_t f = 0; f < frames.size(); ++f) {
            for (std::size_t i = 0; i < frameLength; ++i) {
                out[f * hop + i] += frames[f][i];
            }
        }
        return out;
    }

    // In-place radix-2 transform of a power-of-two length.
    void fft(std::vector<std::complex<double>>& a)
    {
        const std::size_t n = a.size();
        for (std::size_t i = 1, j = 0; i < n; ++i) {
            std::size_t bit = n >> 1;
            for (; j & bit; bit >>= 1) {
                j ^= bit;
            }
            j ^= bit;
            if (i < j) {
                std::swap(a[i], a[j]);
            }
        }
        for (std::size_t len = 2; len <= n; len <<= 1) {
            const double angle = -2.0 * std::numbers::pi / double(len);
            const std::complex<double> unit(std::cos(angle), std::sin(angle));
            for (std::size_t i = 0; i < n; i += len) {
                std::complex<double> w(1.0, 0.0);
                for (std::size_t k = 0; k < len / 2; ++k) {
                    const std::complex<double> u = a[i + k];
                    const std::complex<double> v = a[i + k + len / 2] * w;
                    a[i + k] = u + v;
                    a[i + k + len / 2] = u - v;
                    w *= unit;
                }
            }
        }
    }

    // The FFT bins [first, end) of each one-third-octave band, the edges rounded to the
    // nearest bin.
    std::vector<std::pair<std::size_t, std::size_t>> bandBins()
    {
        std::vector<std::pair<std::size_t, std::size_t>> bands;
        const double binHz = double(analysisRateHz) / double(fftLength);
        for (int k = 0; k < bandCount; ++k) {
            const double low = lowestCentreHz * std::pow(2.0, double(2 * k - 1) / 6.0);
            const double high = lowestCentreHz * std::pow(2.0, double(2 * k + 1) / 6.0);
            bands.push_back(
                { std::size_t(std::lround(low / binHz)), std::size_t(std::lround(high / binHz)) });
        }
        return bands;
    }

    // Band envelopes: [band][frame] magnitudes of the short-time spectrum.
    std::vector<std::vector<double>> bandEnvelopes(std::span<const double> x)
    {
        static const auto bands = bandBins();
        const Frames frames = framesOf(x);
        std::vector<std::vector<double>> env(bandCount, std::vector<double>(frames.size()));
        std::vector<std::complex<double>> spectrum(fftLength);
        for (std::size_t f = 0; f < frames.size(); ++f) {
            std::fill(spectrum.begin(), spectrum.end(), 0.0);
            std::copy(frames[f].begin(), frames[f].end(), spectrum.begin());
            fft(spectrum);
            for (int b = 0; b < bandCount; ++b) {
                double energy = 0.0;
                for (std::size_t k = bands[std::size_t(b)].first; k < bands[std::size_t(b)].second;
                     ++k) {
                    energy += std::norm(spectrum[k]);
                }
                env[std::size_t(b)][f] = std::sqrt(energy);
            }
        }
        return env;
    }

    double norm(std::span<const double> v)
    {
        double sum = 0.0;
        for (const double x : v) {
            sum += x * x;
        }
        return std::sqrt(sum);
    }

} // namespace

std::vector<double> resampleLevels(
    std::span<const double> levels, std::uint32_t fromRateHz, std::uint32_t toRateHz)
{
    if (fromRateHz == toRateHz) {
        return { levels.begin(), levels.end() };
    }
    const double ratio = double(toRateHz) / double(fromRateHz);
    std::vector<double> out(std::size_t(std::ceil(double(levels.size()) * ratio)) + 16);
    std::size_t done = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    if (soxr_oneshot(double(fromRateHz), double(toRateHz), 1, levels.data(), levels.size(), nullptr,
            out.data(), out.size(), &done, &io, &quality, nullptr)) {
        throw std::runtime_error("resampling for the intelligibility measure failed");
    }
    out.resize(done);
    return out;
}

double stoi(std::span<const double> clean, std::span<const double> processed, std::uint32_t rateHz)
{
    const std::vector<double> x10 = resampleLevels(clean, rateHz, analysisRateHz);
    const std::vector<double> y10 = resampleLevels(processed, rateHz, analysisRateHz);
    const std::size_t length = std::min(x10.size(), y10.size());
    const std::span<const double> x(x10.data(), length), y(y10.data(), length);

    // Drop the frames far below the loudest clean frame, from both signals alike.
    Frames xFrames = framesOf(x), yFrames = framesOf(y);
    std::vector<double> energyDb(xFrames.size());
    double loudestDb = -1e300;
    for (std::size_t f = 0; f < xFrames.size(); ++f) {
        energyDb[f] = 20.0 * std::log10(norm(xFrames[f]) + 1e-20);
        loudestDb = std::max(loudestDb, energyDb[f]);
    }
    Frames xKept, yKept;
    for (std::size_t f = 0; f < xFrames.size(); ++f) {
        if (energyDb[f] > loudestDb - dynamicRangeDb) {
            xKept.push_back(std::move(xFrames[f]));
            yKept.push_back(std::move(yFrames[f]));
        }
    }
    const auto xEnv = bandEnvelopes(overlapAdd(xKept));
    const auto yEnv = bandEnvelopes(overlapAdd(yKept));
    const std::size_t frames = xEnv[0].size();
    if (frames < envelopeFrames) {
        return 0.0;
    }
    const double clip = 1.0 + std::pow(10.0, -clipDb / 20.0);
    double sum = 0.0;
    std::size_t count = 0;
    std::vector<double> xs(envelopeFrames), ys(envelopeFrames);
    for (std::size_t end = envelopeFrames; end <= frames; ++end) {
        for (int b = 0; b < bandCount; ++b) {
            for (std::size_t i = 0; i < envelopeFrames; ++i) {
                xs[i] = xEnv[std::size_t(b)][end - envelopeFrames + i];
                ys[i] = yEnv[std::size_t(b)][end - envelopeFrames + i];
            }
            const double scale = norm(xs) / (norm(ys) + 1e-20);
            double xMean = 0.0, yMean = 0.0;
            for (std::size_t i = 0; i < envelopeFrames; ++i) {
                ys[i] = std::min(ys[i] * scale, xs[i] * clip);
                xMean += xs[i];
                yMean += ys[i];
            }
            xMean /= double(envelopeFrames);
            yMean /= double(envelopeFrames);
            for (std::size_t i = 0; i < envelopeFrames; ++i) {
                xs[i] -= xMean;
                ys[i] -= yMean;
            }
            double dot = 0.0;
            for (std::size_t i = 0; i < envelopeFrames; ++i) {
                dot += xs[i] * ys[i];
            }
            sum += dot / ((norm(xs) + 1e-20) * (norm(ys) + 1e-20));
            ++count;
        }
    }
    return sum / double(count);
}

double bandLimitedGainSnrDb(std::span<const double> clean, std::span<const double> processed,
    std::uint32_t rateHz, std::uint32_t topHz)
{
    const std::vector<double> x = resampleLevels(clean, rateHz, 2 * topHz);
    const std::vector<double> y = resampleLevels(processed, rateHz, 2 * topHz);
    const std::size_t length = std::min(x.size(), y.size());
    double xy = 0.0, yy = 0.0, xx = 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        xy += x[i] * y[i];
        yy += y[i] * y[i];
        xx += x[i] * x[i];
    }
    const double gain = yy > 0.0 ? xy / yy : 0.0;
    double noise = 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        const double e = x[i] - gain * y[i];
        noise += e * e;
    }
    return 10.0 * std::log10(xx / std::max(noise, 1e-300));
}

} // namespace tt::bench
