#include "TestSounds.h"

#include "platform/audio/AudioOutput.h"
#include "wave/MemoryByteSource.h"
#include "wave/WaveParser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <unistd.h>

namespace tt {

namespace {

    void putU16(std::vector<std::uint8_t>& b, std::uint32_t v)
    {
        b.push_back(std::uint8_t(v));
        b.push_back(std::uint8_t(v >> 8));
    }

    void putU32(std::vector<std::uint8_t>& b, std::uint32_t v)
    {
        putU16(b, v & 0xFFFF);
        putU16(b, v >> 16);
    }

    void putId(std::vector<std::uint8_t>& b, const char* id)
    {
        for (int i = 0; i < 4; ++i) {
            b.push_back(std::uint8_t(id[i]));
        }
    }

} // namespace

bool loadTone(AudioOutput& audio, int slot, const std::vector<std::uint8_t>& image)
{
    MemoryByteSource source(image);
    LoadedWave wave;
    if (parseWave(source, wave) != LoadStatus::Loaded) {
        return false;
    }
    const WaveHeader& header = wave.header;
    return audio.loadPcm(slot, { header.channelCount, header.sampleRateHz, header.bitsPerSample },
        wave.data.block, 0, std::size_t(wave.data.sizeBytes));
}

std::vector<std::uint8_t> makeToneImage(const ToneRecipe& recipe)
{
    const int bytesPerSample = recipe.bitsPerSample / 8;
    std::vector<std::uint8_t> samples;
    double phase = 0;
    for (const ToneSegment& segment : recipe.segments) {
        const auto frameCount
            = std::int64_t(std::lround(segment.durationSeconds * recipe.sampleRateHz));
        for (std::int64_t i = 0; i < frameCount; ++i) {
            const double value = recipe.amplitude * std::sin(phase);
            phase += 2 * std::numbers::pi * segment.frequencyHz / recipe.sampleRateHz;
            for (int c = 0; c < recipe.channelCount; ++c) {
                if (recipe.bitsPerSample == 8) {
                    samples.push_back(std::uint8_t(std::lround(128 + 127 * value)));
                } else {
                    putU16(samples, std::uint16_t(std::int16_t(std::lround(32767 * value))));
                }
            }
        }
    }
    std::vector<std::uint8_t> image;
    putId(image, "RIFF");
    putU32(image, 0); // patched below
    putId(image, "WAVE");
    putId(image, "fmt ");
    putU32(image, 16);
    putU16(image, 1);
    putU16(image, std::uint32_t(recipe.channelCount));
    putU32(image, std::uint32_t(recipe.sampleRateHz));
    putU32(image, std::uint32_t(recipe.sampleRateHz * recipe.channelCount * bytesPerSample));
    putU16(image, std::uint32_t(recipe.channelCount * bytesPerSample));
    putU16(image, std::uint32_t(recipe.bitsPerSample));
    if (recipe.listChunk) {
        putId(image, "LIST");
        putU32(image, 9);
        image.insert(image.end(), { 'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 'x', 0 });
    }
    putId(image, "data");
    putU32(image, std::uint32_t(samples.size()));
    image.insert(image.end(), samples.begin(), samples.end());
    const auto riffSize = std::uint32_t(image.size() - 8);
    for (int i = 0; i < 4; ++i) {
        image[std::size_t(4 + i)] = std::uint8_t(riffSize >> (8 * i));
    }
    return image;
}

std::string writeTempFile(const std::vector<std::uint8_t>& bytes, const std::string& name)
{
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    const auto path = std::filesystem::path(dir != nullptr ? dir : "/tmp")
        / ("ticktrace-audio-" + std::to_string(getpid()) + "-" + name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path.string();
}

CapturedSound::CapturedSound(std::vector<std::int16_t> samples, int captureRateHz)
    : samples_(std::move(samples))
    , rateHz_(captureRateHz)
{
}

std::optional<CapturedSound::Span> CapturedSound::loudSpan(double threshold) const
{
    const auto loud = [&](std::int16_t s) { return std::abs(int(s)) > threshold; };
    const auto first = std::find_if(samples_.begin(), samples_.end(), loud);
    if (first == samples_.end()) {
        return std::nullopt;
    }
    const auto last = std::find_if(samples_.rbegin(), samples_.rend(), loud);
    return Span { double(first - samples_.begin()) / rateHz_,
        double(samples_.rend() - last) / rateHz_ };
}

double CapturedSound::zeroCrossingHz(const Span& span) const
{
    const auto begin = std::size_t(span.beginSeconds * rateHz_);
    const auto end = std::min(samples_.size(), std::size_t(span.endSeconds * rateHz_));
    // Hysteresis keeps noise near zero from counting twice.
    const int hysteresis = 2000;
    int sign = 0;
    int crossings = 0;
    std::size_t firstCrossing = 0;
    std::size_t lastCrossing = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const int s = samples_[i];
        const int now = s > hysteresis ? 1 : (s < -hysteresis ? -1 : 0);
        if (now != 0 && now != sign) {
            if (sign != 0) {
                if (crossings == 0) {
                    firstCrossing = i;
                }
                lastCrossing = i;
                ++crossings;
            }
            sign = now;
        }
    }
    if (crossings < 2) {
        return 0;
    }
    return (crossings - 1) / 2.0 / (double(lastCrossing - firstCrossing) / rateHz_);
}

std::vector<double> CapturedSound::toneTrack(double frequencyHz) const
{
    const auto windowSize = std::size_t(0.02 * rateHz_);
    const auto hop = std::size_t(hopSeconds * rateHz_);
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequencyHz / rateHz_);
    std::vector<double> track;
    for (std::size_t start = 0; start + windowSize <= samples_.size(); start += hop) {
        double previous = 0;
        double beforePrevious = 0;
        for (std::size_t i = start; i < start + windowSize; ++i) {
            const double s = samples_[i] + coefficient * previous - beforePrevious;
            beforePrevious = previous;
            previous = s;
        }
        const double power = previous * previous + beforePrevious * beforePrevious
            - coefficient * previous * beforePrevious;
        track.push_back(2 * std::sqrt(std::max(0.0, power)) / double(windowSize));
    }
    return track;
}

double CapturedSound::toneSeconds(double frequencyHz, double threshold) const
{
    const auto track = toneTrack(frequencyHz);
    return double(std::count_if(track.begin(), track.end(), [&](double a) {
        return a > threshold;
    })) * hopSeconds;
}

double CapturedSound::togetherSeconds(
    const std::vector<double>& frequenciesHz, double threshold) const
{
    std::vector<std::vector<double>> tracks;
    for (double f : frequenciesHz) {
        tracks.push_back(toneTrack(f));
    }
    int together = 0;
    for (std::size_t i = 0; !tracks.empty() && i < tracks.front().size(); ++i) {
        together += std::all_of(tracks.begin(), tracks.end(),
            [&](const std::vector<double>& t) { return t[i] > threshold; });
    }
    return together * hopSeconds;
}

double CapturedSound::peak() const
{
    int peak = 0;
    for (std::int16_t s : samples_) {
        peak = std::max(peak, std::abs(int(s)));
    }
    return peak;
}

} // namespace tt
