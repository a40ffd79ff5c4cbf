#pragma once
// Two sound slots on the desktop's sound server. Slot 0 holds the opened WAV file, slot 1 the
// modelled one-bit image. Every call comes from the window's thread; the sound server plays on
// its own from the samples each slot holds.

#include "wave/SampleBytes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tt {

// The PCM layout of a sound: 8-bit unsigned or 16-bit signed little-endian samples.
struct PcmFormat {
    int channelCount = 0;
    std::uint32_t sampleRateHz = 0;
    int bitsPerSample = 0;
};

class AudioOutput {
public:
    static constexpr int slotCount = 2;
    static constexpr int maxServerChannels = 8; // 7.1; more fail to open a stream

    AudioOutput();
    ~AudioOutput(); // closes if still open
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Connects to the sound server. False when there is none; every other call then stays
    // harmless and the slots stay empty.
    bool open();

    // Loads a whole WAV file or an in-memory WAV image (walked within imageBytes, never past).
    // On failure the slot keeps the sound it had. A playing slot is silenced only once the new
    // sound is ready.
    bool loadFile(int slot, const std::string& path);
    bool loadImage(int slot, const std::uint8_t* image, std::size_t imageBytes);

    // Loads samples that the caller already holds, sharing them instead of copying: the caller
    // promises never to change the bytes (it replaces the whole vector instead). A sound with
    // more channels than the server takes plays a copy of its channels 1 and 2.
    bool loadPcm(int slot, PcmFormat format, std::shared_ptr<const SampleBytes> bytes,
        std::size_t offset, std::size_t length);

    bool isLoaded(int slot) const;

    // Stops, rewinds and plays the slot once to its very end; a playing sound restarts.
    void play(int slot);

    // Halts and rewinds; the sound stays loaded.
    void stop(int slot);

    // Silences and releases every sound, then the connection to the server.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tt
