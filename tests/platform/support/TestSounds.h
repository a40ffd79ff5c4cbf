#pragma once
// WAV images made in code for the audio tests, and the measurements the tests take on what the
// sound server played.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tt {

class AudioOutput;

// One stretch of a pure tone.
struct ToneSegment {
    double frequencyHz = 0;
    double durationSeconds = 0;
};

struct ToneRecipe {
    std::vector<ToneSegment> segments; // played one after the other, phase continuous
    int bitsPerSample = 16;
    int channelCount = 1;
    int sampleRateHz = 44100;
    double amplitude = 0.5; // of full scale
    bool listChunk = false; // a "LIST" chunk of odd size between "fmt " and "data"
};

std::vector<std::uint8_t> makeToneImage(const ToneRecipe& recipe);
std::string writeTempFile(const std::vector<std::uint8_t>& bytes, const std::string& name);

// Loads a WAV image into the slot as the window loads a file: the loader's parser takes its
// format and samples, which the slot then shares. False when either refuses it.
bool loadTone(AudioOutput& audio, int slot, const std::vector<std::uint8_t>& image);

// Full-scale amplitude the tests expect back from the server at the tones' 0.5 amplitude.
inline constexpr double playedAmplitude = 0.5 * 32768;

// Captured mono samples at captureRateHz.
class CapturedSound {
public:
    static constexpr double hopSeconds = 0.01;

    CapturedSound(std::vector<std::int16_t> samples, int captureRateHz);

    // First and last sample louder than the threshold, in seconds from the capture's start.
    struct Span {
        double beginSeconds = 0;
        double endSeconds = 0;
        double lengthSeconds() const { return endSeconds - beginSeconds; }
    };
    std::optional<Span> loudSpan(double threshold) const;

    // Tone frequency from the zero crossings within the span.
    double zeroCrossingHz(const Span& span) const;

    // The tone's amplitude in 20 ms windows every hopSeconds (Goertzel).
    std::vector<double> toneTrack(double frequencyHz) const;

    // Seconds during which the tone is louder than the threshold.
    double toneSeconds(double frequencyHz, double threshold) const;

    // Seconds during which every one of the tones is louder than the threshold at once.
    double togetherSeconds(const std::vector<double>& frequenciesHz, double threshold) const;

    double peak() const;

private:
    std::vector<std::int16_t> samples_;
    int rateHz_ = 0;
};

} // namespace tt
