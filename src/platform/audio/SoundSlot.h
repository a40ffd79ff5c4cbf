#pragma once
// One loaded sound and, while it plays, the server stream that plays it. The stream exists only
// from play() until the server has played the last sample (or until stop()), so a finished
// sound holds nothing open on the server. Every call, and the destructor, must be made with the
// connection locked; the stream's callbacks run locked on the connection's thread.

#include "platform/audio/AudioOutput.h"
#include "wave/SampleBytes.h"
#include "wave/SampleStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <pulse/pulseaudio.h>
#include <vector>

namespace tt {

class SoundSlot {
public:
    // The stream's whole frames, in its header's format (AudioOutput checks that the server takes
    // it), read in order from its first byte each time the sound plays, on the connection's
    // thread. A sound made as it plays (madeAsItPlays) keeps a shorter buffer on the server, so
    // that what it makes next is heard soon.
    SoundSlot(std::shared_ptr<SampleStream> sound, bool madeAsItPlays);
    ~SoundSlot(); // silences at once
    SoundSlot(const SoundSlot&) = delete;
    SoundSlot& operator=(const SoundSlot&) = delete;

    // Plays from the start on a new stream, silencing the one before; nothing without a
    // context (no server just now).
    void play(pa_context* context);
    // Silences and releases the stream; also where the connection was lost, and the stream with it.
    void stop();

    // Frames of the sound heard so far by the server's playback clock, 0 ... the sound's frame
    // count; -1 while the sound does not play.
    std::int64_t playedFrames() const;

private:
    static void onWritable(pa_stream* stream, std::size_t sizeBytes, void* self);
    static void onStreamState(pa_stream* stream, void* self);
    static void onDrained(pa_stream* stream, int success, void* self);
    void feed(std::size_t sizeBytes);
    void release();

    pa_sample_spec spec_ {};
    std::shared_ptr<SampleStream> sound_;
    std::size_t sizeBytes_ = 0; // the sound's whole frames
    pa_usec_t latencyUsec_ = 0;
    std::vector<std::uint8_t> readBytes_; // the last bytes read from sound_
    SampleBytes tail_; // silence played after the sound
    std::size_t playedBytes_ = 0; // of sound and tail, handed to the stream so far
    pa_stream* stream_ = nullptr;
    pa_operation* drain_ = nullptr;
};

} // namespace tt
