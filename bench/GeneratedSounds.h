#pragma once
// The quality benchmarks' material: short generated sounds of the kinds people prepare for a
// one-bit speaker (speech-like, chords, plucked strings, sweeps, noise, square-wave melodies), at
// several rates, in 8- and 16-bit PCM. Deterministic: the same arguments always give the same
// bytes.

#include "wave/WaveHeader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace tt::bench {

struct GeneratedSound {
    std::string name; // "speech 16-bit 22050 Hz"
    WaveHeader header;
    std::vector<std::uint8_t> data; // the "data" chunk's bytes
};

enum class SoundKind { Speech, Chord, Plucked, Sweep, Noise, SquareMelody };

inline const char* soundKindName(SoundKind kind)
{
    switch (kind) {
    case SoundKind::Speech:
        return "speech";
    case SoundKind::Chord:
        return "chord";
    case SoundKind::Plucked:
        return "plucked";
    case SoundKind::Sweep:
        return "sweep";
    case SoundKind::Noise:
        return "noise";
    case SoundKind::SquareMelody:
        return "square melody";
    }
    return "?";
}

namespace detail {

    // A signal in -1 ... +1, frameCount values.
    inline std::vector<double> signalOf(
        SoundKind kind, std::uint32_t rateHz, std::int64_t frameCount)
    {
        constexpr double twoPi = 2.0 * std::numbers::pi;
        std::vector<double> s(std::size_t(frameCount), 0.0);
        std::mt19937 random(std::uint32_t(int(kind) * 7919 + int(rateHz)));
        const double rate = double(rateHz);
        switch (kind) {
        case SoundKind::Speech: {
            // A pulse train with a wandering pitch through two resonances that move from
            // syllable to syllable, under a syllable envelope: vowels with consonant gaps.
            std::uniform_real_distribution<double> formant1(300.0, 900.0), formant2(900.0, 2500.0);
            std::normal_distribution<double> hiss(0.0, 1.0);
            double f1 = 500.0, f2 = 1500.0, phase = 0.0;
            double y1a = 0, y1b = 0, y2a = 0, y2b = 0;
            const std::int64_t syllable = std::int64_t(rate * 0.18);
            for (std::int64_t n = 0; n < frameCount; ++n) {
                if (n % syllable == 0) {
                    f1 = formant1(random);
                    f2 = formant2(random);
                }
                const double t = double(n) / rate;
                const double pitch = 120.0 + 25.0 * std::sin(twoPi * 0.7 * t);
                phase += pitch / rate;
                double excitation = 0.0;
                if (phase >= 1.0) {
                    phase -= 1.0;
                    excitation = 1.0;
                }
                const double position = double(n % syllable) / double(syllable);
                const bool voiced = position < 0.75;
                if (!voiced) {
                    excitation = 0.08 * hiss(random);
                }
                const auto resonate = [&](double in, double f, double& ya, double& yb) {
                    const double r = 0.97, w = twoPi * std::min(f, 0.45 * rate) / rate;
                    const double y = in + 2.0 * r * std::cos(w) * ya - r * r * yb;
                    yb = ya;
                    ya = y;
                    return y;
                };
                const double voice = resonate(excitation, f1, y1a, y1b) * 0.1
                    + resonate(excitation, f2, y2a, y2b) * 0.05;
                const double envelope = voiced ? std::sin(std::numbers::pi * position / 0.75) : 1.0;
                s[std::size_t(n)] = voice * envelope;
            }
            break;
        }
        case SoundKind::Chord: {
            const double notes[] = { 220.0, 277.18, 329.63, 440.0 };
            for (std::int64_t n = 0; n < frameCount; ++n) {
                const double t = double(n) / rate;
                double v = 0.0;
                for (const double f : notes) {
                    for (int h = 1; h <= 4; ++h) {
                        if (f * h < rate / 2.0) {
                            v += std::sin(twoPi * f * h * t + h) / (h * h);
                        }
                    }
                }
                s[std::size_t(n)] = 0.22 * v;
            }
            break;
        }
        case SoundKind::Plucked: {
            // Karplus-Strong strings, a new note every 0.4 s.
            const double notes[] = { 196.0, 246.94, 293.66, 392.0, 329.63 };
            std::uniform_real_distribution<double> burst(-1.0, 1.0);
            std::vector<double> line;
            std::size_t at = 0;
            const std::int64_t noteFrames = std::int64_t(rate * 0.4);
            for (std::int64_t n = 0; n < frameCount; ++n) {
                if (n % noteFrames == 0) {
                    const double f = notes[std::size_t(n / noteFrames) % std::size(notes)];
                    line.assign(std::size_t(std::max(2.0, rate / f)), 0.0);
                    for (double& v : line) {
                        v = burst(random);
                    }
                    at = 0;
                }
                const std::size_t next = (at + 1) % line.size();
                const double v = line[at];
                line[at] = 0.996 * 0.5 * (line[at] + line[next]);
                at = next;
                s[std::size_t(n)] = 0.8 * v;
            }
            break;
        }
        case SoundKind::Sweep: {
            // A logarithmic sweep from 50 Hz to 0.4 of the rate.
            const double f0 = 50.0, f1 = 0.4 * rate, seconds = double(frameCount) / rate;
            const double k = std::log(f1 / f0) / seconds;
            for (std::int64_t n = 0; n < frameCount; ++n) {
                const double t = double(n) / rate;
                s[std::size_t(n)] = 0.7 * std::sin(twoPi * f0 * (std::exp(k * t) - 1.0) / k);
            }
            break;
        }
        case SoundKind::Noise: {
            // Pink-ish noise (a leaky sum of white noise) under a slow swell.
            std::normal_distribution<double> white(0.0, 1.0);
            double pink = 0.0;
            for (std::int64_t n = 0; n < frameCount; ++n) {
                pink = 0.97 * pink + 0.1 * white(random);
                const double t = double(n) / rate;
                s[std::size_t(n)] = 0.35 * pink * (0.6 + 0.4 * std::sin(twoPi * 0.5 * t));
            }
            break;
        }
        case SoundKind::SquareMelody: {
            // A chip-tune line: square waves, a new note every 0.2 s, at two loudnesses.
            const double notes[] = { 261.63, 329.63, 392.0, 523.25, 392.0, 329.63, 293.66 };
            const std::int64_t noteFrames = std::int64_t(rate * 0.2);
            for (std::int64_t n = 0; n < frameCount; ++n) {
                const std::int64_t note = n / std::max<std::int64_t>(noteFrames, 1);
                const double f = notes[std::size_t(note) % std::size(notes)];
                const double phase = std::fmod(f * double(n) / rate, 1.0);
                s[std::size_t(n)] = (phase < 0.5 ? 1.0 : -1.0) * (note % 4 == 3 ? 0.3 : 0.6);
            }
            break;
        }
        }
        for (double& v : s) {
            v = std::clamp(v, -1.0, 1.0);
        }
        return s;
    }

} // namespace detail

// A sound of the kind, `seconds` long, with the two channels of a stereo sound slightly apart.
inline GeneratedSound generateSound(
    SoundKind kind, std::uint32_t rateHz, int bitsPerSample, int channelCount, double seconds)
{
    GeneratedSound sound;
    sound.name = std::string(soundKindName(kind)) + " " + std::to_string(bitsPerSample) + "-bit "
        + std::to_string(rateHz) + " Hz";
    sound.header.channelCount = channelCount;
    sound.header.sampleRateHz = rateHz;
    sound.header.bitsPerSample = bitsPerSample;
    sound.header.blockAlign = std::uint16_t(channelCount * bitsPerSample / 8);
    sound.header.byteRate = rateHz * sound.header.blockAlign;
    const auto frameCount = std::int64_t(seconds * rateHz);
    const std::vector<double> signal = detail::signalOf(kind, rateHz, frameCount);
    const double fullScale = bitsPerSample == 8 ? 127.0 : 32767.0;
    for (std::int64_t n = 0; n < frameCount; ++n) {
        for (int c = 0; c < channelCount; ++c) {
            const double gain = c == 0 ? 1.0 : 0.9;
            const auto v = std::lround(signal[std::size_t(n)] * gain * fullScale);
            if (bitsPerSample == 8) {
                sound.data.push_back(std::uint8_t(v + 128));
            } else {
                const auto word = std::uint16_t(std::int16_t(v));
                sound.data.push_back(std::uint8_t(word));
                sound.data.push_back(std::uint8_t(word >> 8));
            }
        }
    }
    return sound;
}

// The benchmark set: every kind at two rates, in 16-bit stereo and 8-bit mono.
inline std::vector<GeneratedSound> qualitySet(double seconds = 3.0)
{
    std::vector<GeneratedSound> set;
    for (const SoundKind kind : { SoundKind::Speech, SoundKind::Chord, SoundKind::Plucked,
             SoundKind::Sweep, SoundKind::Noise, SoundKind::SquareMelody }) {
        for (const std::uint32_t rate : { 11025u, 44100u }) {
            set.push_back(generateSound(kind, rate, 16, 2, seconds));
            set.push_back(generateSound(kind, rate, 8, 1, seconds));
        }
    }
    return set;
}

} // namespace tt::bench
