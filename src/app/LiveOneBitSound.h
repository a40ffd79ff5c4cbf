#pragma once
// The one-bit sound as the window plays it: made from the sound's samples while the sound server
// asks for them, so no one-bit image is ever held, and open to a new setting or modulator at any
// moment. A new setting takes effect at the next frame the server asks for: the conversion starts
// again there from the pin's level at that frame (so the level goes on without a jump), with the
// new settings and a fresh modulator. Unchanged settings give the levels of the whole-part pass
// exactly, frame for frame, so what is heard is what the one-bit WAV file holds.
//
// The stream can also hand out the original samples of the same frames instead (A/B): the
// conversion goes on meanwhile, so switching back and forth keeps the place to the frame.
//
// Threads: the settings and the A/B choice are set from any thread; readAt() is called by one
// thread at a time (the sound server's), and only it touches the conversion.

#include "modulator/ModulationRun.h"
#include "modulator/ModulatorSettings.h"
#include "modulator/PinModel.h"
#include "wave/SampleBytes.h"
#include "wave/SampleStream.h"
#include "wave/WaveHeader.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace tt {

class LiveOneBitSound final : public SampleStream {
public:
    // The whole frames of `part`, which lies in *data (kept alive by the stream), in the format of
    // `header` (8 or 16 bits). The stream's frames have the sound's channels, or only channels 1
    // and 2 where the sound has more than maxChannels. The frames behind the counted ones (see
    // frameCount) play silence, as in every one-bit image.
    LiveOneBitSound(const WaveHeader& header, std::shared_ptr<const SampleBytes> data,
        std::span<const std::uint8_t> part, const ModulatorSettings& settings, int maxChannels);

    // Heard from the next frame the server asks for; also while the original is heard.
    void setSettings(const ModulatorSettings& settings);
    // True: the original samples of the same frames are handed out instead of the one-bit ones.
    void setHearsOriginal(bool original) { hearsOriginal_.store(original); }
    bool hearsOriginal() const { return hearsOriginal_.load(); }

    // The format of the frames handed out.
    const WaveHeader& header() const override { return outHeader_; }
    std::uint64_t sizeBytes() const override;
    // Whole frames from a whole-frame offset. Reading in order costs the conversion of the frames
    // read; an offset other than the next frame starts the sound again from its first frame
    // (with the settings of that moment) and converts up to it.
    bool readAt(std::uint64_t offsetBytes, std::span<std::uint8_t> out) override;

private:
    // One decided frame not yet handed out: the pin's level after it, and its rounded level.
    struct Decided {
        double modelLevel;
        std::int32_t level;
    };

    void restart(std::int64_t frame, double level);
    void applyNewSettings();
    // Decides more frames into pending_; false when every counted frame is decided.
    bool decideMore();
    void writeFrames(std::int64_t frames, std::uint8_t* out);

    WaveHeader header_; // the sound's
    WaveHeader outHeader_; // the stream's
    std::shared_ptr<const SampleBytes> data_;
    std::span<const std::uint8_t> part_;
    std::size_t frameBytes_ = 0;
    std::size_t outFrameBytes_ = 0;
    std::int64_t frameCount_ = 0; // whole frames in the part, all played
    std::int64_t countedFrames_ = 0; // frames the model converts; the rest are silence

    mutable std::mutex settingsMutex_;
    ModulatorSettings settings_; // guarded by settingsMutex_
    std::atomic<std::uint64_t> settingsGeneration_ { 0 };
    std::atomic<bool> hearsOriginal_ { false };

    // The conversion, touched by readAt() only.
    std::uint64_t appliedGeneration_ = 0;
    ModulatorSettings running_;
    std::optional<PinModel> pin_;
    std::optional<AnyModulator> modulator_;
    std::int64_t takenFrames_ = 0; // frames of the part taken into the modulator
    bool flushed_ = false;
    std::vector<Decided> pending_;
    std::size_t pendingAt_ = 0; // the first of pending_ not handed out
    std::int64_t nextFrame_ = 0; // the frame the next readAt() should start at
    double levelAtNext_ = 0.0; // the pin's level before frame nextFrame_
};

} // namespace tt
