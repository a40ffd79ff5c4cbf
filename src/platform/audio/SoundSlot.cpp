#include "platform/audio/SoundSlot.h"

#include "platform/audio/PcmSource.h"

#include <QAudioFormat>

namespace tt {

std::unique_ptr<SoundSlot> SoundSlot::create(const QAudioDevice& device, const PcmFormat& format,
    std::shared_ptr<const SampleBytes> bytes, std::size_t offsetBytes, std::size_t sizeBytes)
{
    QAudioFormat audioFormat;
    audioFormat.setSampleRate(int(format.sampleRateHz));
    audioFormat.setChannelCount(format.channelCount);
    audioFormat.setSampleFormat(
        format.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    audioFormat.setChannelConfig(
        QAudioFormat::defaultChannelConfigForChannelCount(format.channelCount));
    if (!device.isFormatSupported(audioFormat)) {
        return nullptr;
    }
    auto source = std::make_unique<PcmSource>(std::move(bytes), offsetBytes, sizeBytes);
    auto sink = std::make_unique<QAudioSink>(device, audioFormat);
    return std::unique_ptr<SoundSlot>(new SoundSlot(std::move(source), std::move(sink)));
}

SoundSlot::SoundSlot(std::unique_ptr<PcmSource> source, std::unique_ptr<QAudioSink> sink)
    : source_(std::move(source))
    , sink_(std::move(sink))
{
}

SoundSlot::~SoundSlot()
{
    sink_->stop();
    sink_.reset();
}

// The sink is never stopped when it turns idle: it reports idle while the end of the sound is
// still queued in the server, and stopping then would cut that end off.
void SoundSlot::play()
{
    sink_->stop();
    source_->seek(0);
    sink_->start(source_.get());
}

void SoundSlot::stop()
{
    sink_->stop();
    source_->seek(0);
}

} // namespace tt
