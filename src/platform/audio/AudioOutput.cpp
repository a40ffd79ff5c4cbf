#include "platform/audio/AudioOutput.h"

#include "platform/audio/SoundSlot.h"
#include "wave/LeadingChannels.h"
#include "wave/SoundImageLayout.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QObject>
#include <QThread>
#include <array>
#include <fstream>
#include <limits>
#include <memory>
#include <new>
#include <span>

namespace tt {

// The sinks live on a thread of their own with its own event loop, so sound keeps flowing while
// the window's thread is busy (a conversion pass blocks it for as long as it runs). Every call
// hands its work to that thread and waits for it; the slots are touched on no other thread.
struct AudioOutput::Impl {
    QAudioDevice device;
    std::unique_ptr<QThread> thread;
    std::unique_ptr<QObject> context; // lives on the audio thread; work is queued to it
    std::array<std::unique_ptr<SoundSlot>, slotCount> sounds; // audio thread only
    std::array<bool, slotCount> loaded {};

    bool isOpen() const { return thread != nullptr; }

    template <typename Work> void runOnAudioThread(Work work)
    {
        QMetaObject::invokeMethod(context.get(), work, Qt::BlockingQueuedConnection);
    }
};

namespace {

    bool isSlot(int slot)
    {
        return slot >= 0 && slot < AudioOutput::slotCount;
    }

    bool isPlayable(const PcmFormat& format)
    {
        return format.channelCount > 0 && format.sampleRateHz > 0
            && format.sampleRateHz <= std::uint32_t(std::numeric_limits<int>::max())
            && (format.bitsPerSample == 8 || format.bitsPerSample == 16);
    }

    PcmFormat formatOf(const SoundImageLayout& layout)
    {
        return PcmFormat { layout.channelCount, layout.sampleRateHz, layout.bitsPerSample };
    }

    // A copy of samples that the sound server takes: all of them, or, for a sound with more
    // channels than it takes, channels 1 and 2 (as the model hears them; format follows).
    // Throws std::bad_alloc.
    std::shared_ptr<const SampleBytes> serverCopy(
        std::span<const std::uint8_t> samples, PcmFormat& format)
    {
        if (format.channelCount <= AudioOutput::maxServerChannels) {
            return std::make_shared<const SampleBytes>(samples.begin(), samples.end());
        }
        auto kept = std::make_shared<const SampleBytes>(
            leadingChannels(samples, format.channelCount, format.bitsPerSample / 8, 2));
        format.channelCount = 2;
        return kept;
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
    if (impl_->isOpen()) {
        return true;
    }
    // Asked on the caller's thread so that the sound server connection Qt keeps for the whole
    // process is made there and not on the audio thread, which ends at close().
    impl_->device = QMediaDevices::defaultAudioOutput();
    if (impl_->device.isNull()) {
        return false;
    }
    impl_->thread = std::make_unique<QThread>();
    impl_->thread->setObjectName(QStringLiteral("ticktrace audio"));
    impl_->context = std::make_unique<QObject>();
    impl_->context->moveToThread(impl_->thread.get());
    impl_->thread->start();
    return true;
}

bool AudioOutput::loadFile(int slot, const std::string& path)
{
    if (!isSlot(slot) || !impl_->isOpen()) {
        return false;
    }
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        return false;
    }
    const std::streamoff fileSizeBytes = file.tellg();
    if (fileSizeBytes <= 0) {
        return false;
    }
    std::shared_ptr<SampleBytes> bytes;
    try {
        bytes = std::make_shared<SampleBytes>(std::size_t(fileSizeBytes));
    } catch (const std::bad_alloc&) {
        return false;
    }
    file.seekg(0);
    file.read(reinterpret_cast<char*>(bytes->data()), fileSizeBytes);
    if (file.gcount() != fileSizeBytes) {
        return false;
    }
    const auto layout = findSoundImageLayout(*bytes);
    if (!layout) {
        return false;
    }
    return loadPcm(
        slot, formatOf(*layout), std::move(bytes), layout->dataOffsetBytes, layout->dataSizeBytes);
}

bool AudioOutput::loadImage(int slot, const std::uint8_t* image, std::size_t imageBytes)
{
    if (!isSlot(slot) || !impl_->isOpen() || image == nullptr) {
        return false;
    }
    const auto layout = findSoundImageLayout({ image, imageBytes });
    if (!layout) {
        return false;
    }
    // A copy of the samples alone: the caller may rewrite the image as soon as this returns.
    PcmFormat format = formatOf(*layout);
    std::shared_ptr<const SampleBytes> samples;
    try {
        samples = serverCopy({ image + layout->dataOffsetBytes, layout->dataSizeBytes }, format);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::size_t sizeBytes = samples->size();
    return loadPcm(slot, format, std::move(samples), 0, sizeBytes);
}

bool AudioOutput::loadPcm(int slot, PcmFormat format, std::shared_ptr<const SampleBytes> bytes,
    std::size_t offset, std::size_t length)
{
    if (!isSlot(slot) || !impl_->isOpen() || bytes == nullptr || !isPlayable(format)
        || offset > bytes->size() || length > bytes->size() - offset) {
        return false;
    }
    if (format.channelCount > maxServerChannels) {
        // The server refuses such a stream; this is the one case that copies shared samples.
        try {
            bytes = serverCopy({ bytes->data() + offset, length }, format);
        } catch (const std::bad_alloc&) {
            return false;
        }
        offset = 0;
        length = bytes->size();
    }
    const std::size_t frameBytes = std::size_t(format.channelCount * format.bitsPerSample / 8);
    const std::size_t wholeFrameBytes = length / frameBytes * frameBytes;
    if (wholeFrameBytes == 0) {
        return false;
    }
    bool ready = false;
    impl_->runOnAudioThread([&] {
        auto next
            = SoundSlot::create(impl_->device, format, std::move(bytes), offset, wholeFrameBytes);
        if (next == nullptr) {
            return;
        }
        // The earlier sound stops only now that its successor exists.
        std::swap(impl_->sounds[std::size_t(slot)], next);
        next.reset();
        ready = true;
    });
    if (ready) {
        impl_->loaded[std::size_t(slot)] = true;
    }
    return ready;
}

bool AudioOutput::isLoaded(int slot) const
{
    return isSlot(slot) && impl_->loaded[std::size_t(slot)];
}

void AudioOutput::play(int slot)
{
    if (!isLoaded(slot)) {
        return;
    }
    impl_->runOnAudioThread([&] { impl_->sounds[std::size_t(slot)]->play(); });
}

void AudioOutput::stop(int slot)
{
    if (!isLoaded(slot)) {
        return;
    }
    impl_->runOnAudioThread([&] { impl_->sounds[std::size_t(slot)]->stop(); });
}

void AudioOutput::close()
{
    if (!impl_->isOpen()) {
        return;
    }
    QThread* caller = QThread::currentThread();
    impl_->runOnAudioThread([&] {
        for (auto& soundSlot : impl_->sounds) {
            soundSlot.reset();
        }
        impl_->context->moveToThread(caller); // only its own thread may hand it over
    });
    impl_->loaded = {};
    impl_->thread->quit();
    impl_->thread->wait();
    impl_->context.reset();
    impl_->thread.reset();
    impl_->device = QAudioDevice();
}

} // namespace tt
