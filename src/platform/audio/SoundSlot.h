#pragma once
// One loaded sound and, while it plays, the server stream that plays it. The stream exists only
// from play() until the server has played the last sample (or until stop()), so a finished
// sound holds nothing open on the server. Every call, and the destructor, must be made with the
// connection locked; the stream's callbacks run locked on the connection's thread.

#include "platform/audio/AudioOutput.h"
#include "wave/SampleBytes.h"
#include "wave/SampleStream.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <pulse/pulseaudio.h>
#include <vector>

namespace tt {

class SoundSlot {
public:
    // The whole frames [offsetBytes, offsetBytes + sizeBytes) of *bytes in a format the server
    // takes (AudioOutput checks it); the bytes are shared, never copied or changed. With
    // `writtenBytes`, only the first *writtenBytes of them are finished (see AudioOutput::loadPcm).
    SoundSlot(const PcmFormat& format, std::shared_ptr<const SampleBytes> bytes,
        std::size_t offsetBytes, std::size_t sizeBytes,
        std::shared_ptr<const std::atomic<std::size_t>> writtenBytes = {});
    // A sound made as it plays: the stream's bytes in its header's format (checked by
    // AudioOutput), read in order from its first byte each time the sound plays, on the
    // connection's thread. The stream keeps a shorter buffer on the server, so that what the
    // sound makes next is heard soon.
    explicit SoundSlot(std::shared_ptr<SampleStream> source);
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
    std::shared_ptr<const SampleBytes> bytes_;
    std::size_t offsetBytes_ = 0;
    std::size_t sizeBytes_ = 0;
    std::shared_ptr<const std::atomic<std::size_t>> writtenBytes_; // null: all are finished
    std::shared_ptr<SampleStream> source_; // null: the sound is bytes_
    std::vector<std::uint8_t> sourceBytes_; // the last bytes read from source_
    SampleBytes tail_; // silence played after the sound
    std::size_t playedBytes_ = 0; // of sound and tail, handed to the stream so far
    pa_stream* stream_ = nullptr;
    pa_operation* drain_ = nullptr;
};

} // namespace tt
