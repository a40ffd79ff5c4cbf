#pragma once
// Two sound slots on the desktop's sound server. Slot 0 holds the opened WAV file, slot 1 the
// modelled one-bit sound, made as it plays. Every call comes from the window's thread and returns
// without waiting for the server (open() waits at most callTimeout): a stalled server leaves the
// caller free. The server plays on its own from the samples each slot holds; a server that goes
// away is connected to again once it is back, and the slots keep their sounds meanwhile.

#include "wave/SampleBytes.h"
#include "wave/SampleStream.h"
#include "wave/WaveHeader.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

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
    // The rates the server plays a sound at, whole; it refuses a stream at any other.
    static constexpr std::uint32_t minSampleRateHz = 1;
    static constexpr std::uint32_t maxSampleRateHz = highestPlayedRateHz;
    // The longest any call waits for the server: open() for its first answer.
    static constexpr std::chrono::milliseconds callTimeout { 1000 };

    static bool playsRate(std::uint32_t sampleRateHz)
    {
        return sampleRateHz >= minSampleRateHz && sampleRateHz <= maxSampleRateHz;
    }

    AudioOutput();
    ~AudioOutput(); // closes if still open
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Connects to the sound server. False when there is none; every other call then stays
    // harmless and the slots stay empty.
    bool open();

    // Loads samples that the caller already holds, sharing them instead of copying: the caller
    // promises never to change the bytes (it replaces the whole vector instead). A sound with
    // more channels than the server takes plays a copy of its channels 1 and 2. A playing slot
    // falls silent. When the load fails (a format or rate the server does not play, bytes
    // outside the vector, less than one frame, no server) the slot is empty afterwards.
    bool loadPcm(int slot, PcmFormat format, std::shared_ptr<const SampleBytes> bytes,
        std::size_t offset, std::size_t length);

    // Loads a sound that is made as it plays (see SoundSlot): read in order from its first
    // byte at every play(), on the server connection's thread, so the stream must take reads
    // from that thread while the caller's thread changes what it makes. Its header gives the
    // format (8 or 16 bits, at most maxServerChannels). When the load fails the slot is empty.
    bool loadStream(int slot, std::shared_ptr<SampleStream> sound);

    // Silences the slot and lets go of its samples; it is empty afterwards.
    void unload(int slot);

    bool isLoaded(int slot) const;

    // Stops, rewinds and plays the slot once to its very end; a playing sound restarts. The
    // sound's stream on the server lasts until its last sample is heard. Without a server just
    // now, nothing plays.
    void play(int slot);

    // Halts and rewinds, releasing the stream; the sound stays loaded.
    void stop(int slot);

    // Whether the slot's sound plays: from play() until its last sample was heard, or stop().
    bool isPlaying(int slot) const;
    // The frame of the slot's sound being heard now, by the server's playback clock (updated by
    // the server a few times a second and interpolated between): 0 ... the sound's frame count;
    // -1 while it does not play.
    std::int64_t playingFrame(int slot) const;

    // Silences and releases every sound, then the connection to the server.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tt
