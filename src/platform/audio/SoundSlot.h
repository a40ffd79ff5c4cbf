#pragma once
// One loaded sound and the sink that plays it. Lives entirely on the audio thread: created,
// played, stopped and destroyed there, because the sink feeds itself from that thread's timers.

#include "platform/audio/AudioOutput.h"
#include "wave/SampleBytes.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tt {

class PcmSource;

class SoundSlot {
public:
    // Null when the device refuses the format.
    static std::unique_ptr<SoundSlot> create(const QAudioDevice& device, const PcmFormat& format,
        std::shared_ptr<const SampleBytes> bytes, std::size_t offsetBytes, std::size_t sizeBytes);

    ~SoundSlot(); // silences first, then releases the sink, then the samples it read from
    SoundSlot(const SoundSlot&) = delete;
    SoundSlot& operator=(const SoundSlot&) = delete;

    void play();
    void stop();

private:
    SoundSlot(std::unique_ptr<PcmSource> source, std::unique_ptr<QAudioSink> sink);

    // Declared before the sink so that it outlives it: a sink whose source is gone crashes
    // when it is destroyed.
    std::unique_ptr<PcmSource> source_;
    std::unique_ptr<QAudioSink> sink_;
};

} // namespace tt
