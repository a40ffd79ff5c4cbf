#include "platform/audio/AudioOutput.h"

#include "platform/audio/PulseConnection.h"
#include "platform/audio/SoundSlot.h"
#include "wave/LeadingChannels.h"
#include "wave/MemoryByteSource.h"
#include "wave/SampleFormat.h"

#include <array>
#include <limits>
#include <memory>
#include <new>
#include <span>

namespace tt {

struct AudioOutput::Impl {
    // Slots change only on the caller's thread, and only with the connection locked, because
    // the connection's thread reaches their streams too.
    std::array<std::unique_ptr<SoundSlot>, slotCount> sounds;
    PulseConnection connection { [this] {
        for (auto& sound : sounds) {
            if (sound != nullptr) {
                sound->stop();
            }
        }
    } };

    void replace(int slot, std::unique_ptr<SoundSlot> next)
    {
        connection.lock();
        sounds[std::size_t(slot)] = std::move(next);
        connection.unlock();
    }
};

namespace {

    bool isSlot(int slot)
    {
        return slot >= 0 && slot < AudioOutput::slotCount;
    }

    // The server takes up to 1 % above its nominal maximum, for streams whose rate it adjusts
    // while they play; a file's rate is nominal.
    static_assert(AudioOutput::maxSampleRateHz == PA_RATE_MAX);
    static_assert(AudioOutput::maxServerChannels <= PA_CHANNELS_MAX);

    bool isPlayable(const PcmFormat& format)
    {
        return format.channelCount > 0 && AudioOutput::playsRate(format.sampleRateHz)
            && knownSampleBits(format.bitsPerSample);
    }

    // A copy of channels 1 and 2 of a sound with more channels than the server takes (as the
    // model hears them; format follows). Throws std::bad_alloc.
    std::shared_ptr<const SampleBytes> serverCopy(
        std::span<const std::uint8_t> samples, PcmFormat& format)
    {
        auto kept = std::make_shared<const SampleBytes>(
            leadingChannels(samples, format.channelCount, format.bitsPerSample / 8, 2));
        format.channelCount = 2;
        return kept;
    }

    // Samples the caller holds, shared, as the stream a slot plays: whole frames of `format` from
    // `offset` of the bytes on.
    class SharedSamples final : public SampleStream {
    public:
        SharedSamples(const PcmFormat& format, std::shared_ptr<const SampleBytes> bytes,
            std::size_t offset, std::size_t sizeBytes)
            : bytes_(std::move(bytes))
            , samples_(bytes_->data() + offset, sizeBytes)
        {
            header_.channelCount = format.channelCount;
            header_.sampleRateHz = format.sampleRateHz;
            header_.bitsPerSample = format.bitsPerSample;
        }
        const WaveHeader& header() const override { return header_; }
        std::uint64_t sizeBytes() const override { return samples_.size(); }
        bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) override
        {
            return MemoryByteSource(samples_).readAt(offsetBytes, out);
        }

    private:
        std::shared_ptr<const SampleBytes> bytes_;
        std::span<const std::uint8_t> samples_;
        WaveHeader header_;
    };

    // The sound as loadPcm() takes it, or null where it fails. Throws std::bad_alloc.
    std::unique_ptr<SoundSlot> playableSound(PcmFormat format,
        std::shared_ptr<const SampleBytes> bytes, std::size_t offset, std::size_t length)
    {
        if (bytes == nullptr || !isPlayable(format) || offset > bytes->size()
            || length > bytes->size() - offset) {
            return nullptr;
        }
        if (format.channelCount > AudioOutput::maxServerChannels) {
            // The server refuses such a stream; this is the one case that copies shared samples.
            bytes = serverCopy({ bytes->data() + offset, length }, format);
            offset = 0;
            length = bytes->size();
        }
        const auto frameBytes = std::size_t(format.channelCount * format.bitsPerSample / 8);
        const std::size_t wholeFrameBytes = length / frameBytes * frameBytes;
        if (wholeFrameBytes == 0) {
            return nullptr;
        }
        return std::make_unique<SoundSlot>(
            std::make_shared<SharedSamples>(format, std::move(bytes), offset, wholeFrameBytes),
            false);
    }

} // namespace

AudioOutput::AudioOutput()
    : impl_(std::make_unique<Impl>())
{
}

AudioOutput::~AudioOutput()
{
    close();
}

bool AudioOutput::open()
{
    return impl_->connection.open(callTimeout);
}

bool AudioOutput::loadPcm(int slot, PcmFormat format, std::shared_ptr<const SampleBytes> bytes,
    std::size_t offset, std::size_t length)
{
    if (!isSlot(slot)) {
        return false;
    }
    std::unique_ptr<SoundSlot> next;
    if (impl_->connection.isOpen()) {
        try {
            next = playableSound(format, std::move(bytes), offset, length);
        } catch (const std::bad_alloc&) {
        }
    }
    const bool loaded = next != nullptr;
    impl_->replace(slot, std::move(next));
    return loaded;
}

bool AudioOutput::loadStream(int slot, std::shared_ptr<SampleStream> sound)
{
    if (!isSlot(slot)) {
        return false;
    }
    std::unique_ptr<SoundSlot> next;
    if (impl_->connection.isOpen() && sound != nullptr) {
        const WaveHeader& header = sound->header();
        const PcmFormat format { header.channelCount, header.sampleRateHz, header.bitsPerSample };
        if (isPlayable(format) && format.channelCount <= maxServerChannels
            && sound->sizeBytes() >= std::uint64_t(header.bytesPerFrame())) {
            try {
                next = std::make_unique<SoundSlot>(std::move(sound), true);
            } catch (const std::bad_alloc&) {
            }
        }
    }
    const bool loaded = next != nullptr;
    impl_->replace(slot, std::move(next));
    return loaded;
}

void AudioOutput::unload(int slot)
{
    if (isSlot(slot)) {
        impl_->replace(slot, nullptr);
    }
}

bool AudioOutput::isLoaded(int slot) const
{
    return isSlot(slot) && impl_->sounds[std::size_t(slot)] != nullptr;
}

void AudioOutput::play(int slot)
{
    if (!isLoaded(slot)) {
        return;
    }
    impl_->connection.lock();
    impl_->sounds[std::size_t(slot)]->play(impl_->connection.readyContext());
    impl_->connection.unlock();
}

void AudioOutput::stop(int slot)
{
    if (!isLoaded(slot)) {
        return;
    }
    impl_->connection.lock();
    impl_->sounds[std::size_t(slot)]->stop();
    impl_->connection.unlock();
}

bool AudioOutput::isPlaying(int slot) const
{
    return playingFrame(slot) >= 0;
}

std::int64_t AudioOutput::playingFrame(int slot) const
{
    if (!isLoaded(slot)) {
        return -1;
    }
    impl_->connection.lock();
    const std::int64_t frame = impl_->sounds[std::size_t(slot)]->playedFrames();
    impl_->connection.unlock();
    return frame;
}

void AudioOutput::close()
{
    if (!impl_->connection.isOpen()) {
        return;
    }
    for (int slot = 0; slot < slotCount; ++slot) {
        impl_->replace(slot, nullptr);
    }
    impl_->connection.close();
}

} // namespace tt
