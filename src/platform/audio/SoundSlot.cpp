#include "platform/audio/SoundSlot.h"

#include "wave/SampleFormat.h"

#include <algorithm>

namespace tt {
namespace {

    // Server-side buffering of a stream. Short enough that play and stop are heard at once,
    // long enough that a busy machine does not starve the stream.
    constexpr pa_usec_t streamLatencyUsec = 200 * PA_USEC_PER_MSEC;
    // A sound made as it plays follows the controls: what it makes after a change is heard no
    // later than this (plus the server's own output delay). The sound is made hundreds of times
    // faster than it plays, so the short buffer is refilled in time.
    constexpr pa_usec_t madeStreamLatencyUsec = 40 * PA_USEC_PER_MSEC;

    // Silence after the sound that pushes its end through the server's resampler, which holds
    // back about eight input frames (at 50 Hz, the last 0.16 s) when the stream drains.
    constexpr std::size_t tailFrameCount = 16;
    constexpr pa_usec_t tailUsec = 10 * PA_USEC_PER_MSEC;

} // namespace

SoundSlot::SoundSlot(std::shared_ptr<SampleStream> sound, bool madeAsItPlays)
    : sound_(std::move(sound))
    , latencyUsec_(madeAsItPlays ? madeStreamLatencyUsec : streamLatencyUsec)
{
    const WaveHeader& header = sound_->header();
    spec_.format = header.bitsPerSample == 8 ? PA_SAMPLE_U8 : PA_SAMPLE_S16LE;
    spec_.rate = header.sampleRateHz;
    spec_.channels = std::uint8_t(header.channelCount);
    const std::size_t frameBytes = pa_frame_size(&spec_);
    sizeBytes_ = std::size_t(sound_->sizeBytes()) / frameBytes * frameBytes;
    tail_.assign(std::max(tailFrameCount * frameBytes, pa_usec_to_bytes(tailUsec, &spec_)),
        withSampleFormat(header.bitsPerSample, [](auto samples) { return samples.silenceByte; }));
}

SoundSlot::~SoundSlot()
{
    release();
}

void SoundSlot::play(pa_context* context)
{
    release();
    if (context == nullptr) {
        return;
    }
    pa_channel_map map;
    pa_channel_map_init_extend(&map, spec_.channels, PA_CHANNEL_MAP_DEFAULT);
    stream_ = pa_stream_new(context, "TICKTRACE", &spec_, &map);
    if (stream_ == nullptr) {
        return;
    }
    pa_stream_set_state_callback(stream_, onStreamState, this);
    pa_stream_set_write_callback(stream_, onWritable, this);
    playedBytes_ = 0;
    const auto frameBytes = std::uint32_t(pa_frame_size(&spec_));
    pa_buffer_attr buffer;
    buffer.maxlength = std::uint32_t(-1);
    buffer.tlength = std::max(frameBytes, std::uint32_t(pa_usec_to_bytes(latencyUsec_, &spec_)));
    buffer.prebuf = std::uint32_t(-1); // a sound shorter than this starts when it is drained
    buffer.minreq = std::uint32_t(-1);
    buffer.fragsize = std::uint32_t(-1);
    // The timing flags keep the playback clock current for playedFrames() without a round
    // trip to the server on every question.
    const auto flags = pa_stream_flags_t(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_playback(stream_, nullptr, &buffer, flags, nullptr, nullptr) < 0) {
        release();
    }
}

std::int64_t SoundSlot::playedFrames() const
{
    if (stream_ == nullptr) {
        return -1;
    }
    pa_usec_t heardUsec = 0;
    if (pa_stream_get_state(stream_) != PA_STREAM_READY
        || pa_stream_get_time(stream_, &heardUsec) < 0) {
        return 0; // not started yet, or no timing report so far
    }
    const auto soundFrames = std::int64_t(sizeBytes_ / pa_frame_size(&spec_));
    const auto heardFrames = std::int64_t(heardUsec * spec_.rate / PA_USEC_PER_SEC);
    return std::min(heardFrames, soundFrames);
}

void SoundSlot::stop()
{
    release();
}

void SoundSlot::feed(std::size_t sizeBytes)
{
    const std::size_t totalBytes = sizeBytes_ + tail_.size();
    const std::size_t frameBytes = pa_frame_size(&spec_);
    while (sizeBytes > 0 && playedBytes_ < totalBytes) {
        // Copied into the server's memory: the stream never refers to our bytes afterwards.
        const std::uint8_t* from = nullptr;
        std::size_t countBytes = 0;
        if (playedBytes_ < sizeBytes_) {
            countBytes = std::min(sizeBytes, sizeBytes_ - playedBytes_) / frameBytes * frameBytes;
            if (countBytes == 0) {
                break; // the server asked for less than a frame
            }
            readBytes_.resize(countBytes);
            if (!sound_->readAt(playedBytes_, readBytes_)) {
                release();
                return;
            }
            from = readBytes_.data();
        } else {
            countBytes = std::min(sizeBytes, totalBytes - playedBytes_);
            from = tail_.data() + (playedBytes_ - sizeBytes_);
        }
        if (pa_stream_write(stream_, from, countBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            release();
            return;
        }
        playedBytes_ += countBytes;
        sizeBytes -= countBytes;
    }
    if (playedBytes_ == totalBytes && drain_ == nullptr) {
        // The last sample is queued, not yet heard: the stream goes only once the server
        // reports it played.
        drain_ = pa_stream_drain(stream_, onDrained, this);
    }
}

void SoundSlot::release()
{
    if (drain_ != nullptr) {
        pa_operation_cancel(drain_);
        pa_operation_unref(drain_);
        drain_ = nullptr;
    }
    if (stream_ == nullptr) {
        return;
    }
    pa_stream* stream = stream_;
    stream_ = nullptr;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
}

void SoundSlot::onWritable(pa_stream* stream, std::size_t sizeBytes, void* self)
{
    auto& slot = *static_cast<SoundSlot*>(self);
    if (stream == slot.stream_) {
        slot.feed(sizeBytes);
    }
}

void SoundSlot::onStreamState(pa_stream* stream, void* self)
{
    auto& slot = *static_cast<SoundSlot*>(self);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (stream == slot.stream_ && (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)) {
        slot.release();
    }
}

void SoundSlot::onDrained(pa_stream* stream, int success, void* self)
{
    auto& slot = *static_cast<SoundSlot*>(self);
    if (stream != slot.stream_) {
        return;
    }
    pa_operation_unref(slot.drain_);
    slot.drain_ = nullptr;
    if (success) {
        slot.release();
    }
}

} // namespace tt
