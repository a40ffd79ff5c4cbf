#include "decode/DecodedSoundStream.h"

#include "decode/Pcm16.h"
#include "text/TextFormat.h"
#include "wave/WaveParser.h"

#include <algorithm>
#include <fstream>
#include <limits>

namespace tt {
namespace {

    // Frames per call of the library: its own reads are of this order. Files of many channels
    // read fewer frames at a time, so one read's levels stay within samplesPerRead.
    constexpr std::int64_t framesPerRead = 4096;
    constexpr std::int64_t samplesPerRead = 65536;

    // Past a decoding error the file is opened again this many frames further on, then as many
    // again, until the library reaches a frame it can decode from; with a bound on the tries
    // for the whole file, so a file damaged all along costs bounded time.
    constexpr std::int64_t resumeStepFrames = 4096;
    constexpr int maxResumeTries = 256; // for one damaged stretch
    constexpr int maxResumeAttempts = 1024; // for the whole file

} // namespace

LoadStatus DecodedSoundStream::open(const std::string& path)
{
    path_ = path;
    if (!file_.open(path)) {
        // The library says the same for a file it cannot open and for one it does not know.
        return std::ifstream(path, std::ios::binary).is_open() ? LoadStatus::NotSupported
                                                               : LoadStatus::Unreadable;
    }
    channels_ = file_.channelCount();
    rateHz_ = file_.sampleRateHz();
    const int channels = channels_;
    const int rateHz = rateHz_;
    if (channels < 1 || channels > std::numeric_limits<std::uint16_t>::max() / 2 || rateHz < 1) {
        return LoadStatus::NotSupported;
    }
    framesPerRead_ = std::clamp<std::int64_t>(samplesPerRead / channels, 1, framesPerRead);
    levels_.resize(std::size_t(framesPerRead_ * channels));
    const std::int64_t statedFrames = file_.frameCount();
    const bool statedKnown
        = statedFrames > 0 && statedFrames < std::numeric_limits<std::int64_t>::max();

    // The length is counted, not taken from the header; no more than a WAV data chunk holds.
    const auto maxFrames = std::int64_t(maxDataSizeBytes / (2 * std::uint64_t(channels)));
    std::int64_t frames = 0;
    while (frames < maxFrames) {
        const std::int64_t read = readFrames(std::min(framesPerRead_, maxFrames - frames));
        if (read == 0) {
            break;
        }
        frames += read;
    }
    if (frames == 0 || !startOver()) {
        return LoadStatus::NotSupported;
    }

    std::string damage;
    if (damagedFrames_ > 0) {
        damage = toDecimal(damagedFrames_) + " frames from frame " + toDecimal(firstDamagedFrame_)
            + " on could not be decoded and are silence";
    }
    if (stoppedByDamage_) {
        damage += (damage.empty() ? "" : "; ") + std::string("decoding stopped at frame ")
            + toDecimal(stoppedAtFrame_);
    }
    if (!damage.empty()) {
        decodeNote_ = "Damaged: " + damage;
    }
    if (statedKnown && frames < statedFrames && frames < maxFrames) {
        decodeNote_ += (decodeNote_.empty() ? "Shorter than the file states: " : "; ")
            + toDecimal(frames) + " of " + toDecimal(statedFrames) + " frames decoded";
    }
    setFormat(channels, std::uint32_t(rateHz), std::uint64_t(frames));
    originalFormat_ = file_.formatText();
    return LoadStatus::Loaded;
}

std::int64_t DecodedSoundStream::readFrames(std::int64_t frames)
{
    const int channels = channels_;
    while (true) {
        if (silenceLeft_ > 0) {
            const std::int64_t count = std::min(frames, silenceLeft_);
            std::fill_n(levels_.begin(), count * channels, 0.0);
            silenceLeft_ -= count;
            position_ += count;
            return count;
        }
        if (fileEnded_) {
            return 0;
        }
        const std::int64_t read
            = file_.readFrames({ levels_.data(), std::size_t(frames * channels) });
        if (read > 0) {
            position_ += read;
            return read;
        }
        if (read < 0) {
            if (firstDamagedFrame_ < 0) {
                firstDamagedFrame_ = position_;
            }
            if (resumeAfterDamage()) {
                continue;
            }
            stoppedByDamage_ = true;
            stoppedAtFrame_ = position_;
        }
        fileEnded_ = true;
        return 0;
    }
}

bool DecodedSoundStream::resumeAfterDamage()
{
    const std::int64_t stated = file_.frameCount();
    if (!file_.isSeekable()) {
        return false;
    }
    std::int64_t frame = position_;
    for (int tries = 0; tries < maxResumeTries && resumeAttempts_ < maxResumeAttempts; ++tries) {
        frame += resumeStepFrames;
        if (frame >= stated) {
            return false;
        }
        ++resumeAttempts_;
        // A decoder that failed stays failed, also for seeking: a fresh one is asked.
        if (!reopen()) {
            return false;
        }
        if (file_.seek(frame)) {
            silenceLeft_ = frame - position_;
            damagedFrames_ += silenceLeft_;
            return true;
        }
    }
    return false;
}

std::optional<std::size_t> DecodedSoundStream::produce(std::span<std::uint8_t> out)
{
    const int channels = header().channelCount;
    const auto frameBytes = std::size_t(header().bytesPerFrame());
    std::size_t made = 0;
    while (made < out.size()) {
        const auto frames = std::min<std::int64_t>(
            std::int64_t((out.size() - made) / frameBytes), framesPerRead_);
        const std::int64_t read = readFrames(frames);
        if (read == 0) {
            break;
        }
        const std::size_t samples = std::size_t(read * channels);
        putPcm16({ levels_.data(), samples }, out.data() + made);
        made += samples * 2;
    }
    return made;
}

// The file is opened again rather than sought back in: some encodings cannot seek back, and a
// decoder that failed on damage cannot seek at all.
bool DecodedSoundStream::reopen()
{
    // The file may have been replaced meanwhile: only the same format is read on.
    return file_.open(path_) && file_.channelCount() == channels_
        && file_.sampleRateHz() == rateHz_;
}

bool DecodedSoundStream::startOver()
{
    if (!reopen()) {
        return false;
    }
    position_ = 0;
    silenceLeft_ = 0;
    resumeAttempts_ = 0;
    fileEnded_ = false;
    return true;
}

bool DecodedSoundStream::restart()
{
    return startOver();
}

} // namespace tt
