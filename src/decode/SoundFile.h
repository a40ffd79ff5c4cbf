#pragma once

#include <cstdint>
#include <sndfile.h>
#include <span>
#include <string>

namespace tt {

// A sound file open for reading through the decoder library, which reads WAV in every
// encoding, FLAC, Ogg Vorbis and Opus, MP3, AIFF and more. Closed with its owner.
class SoundFile {
public:
    SoundFile() = default;
    ~SoundFile();
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    // False when the library cannot decode the file (or it cannot be opened at all).
    bool open(const std::string& path);

    // Whether the decoders' own messages reach standard error; they do not unless asked for
    // (where a sanitizer's report must never be hidden).
    static void showLibraryMessages(bool show);

    int channelCount() const { return info_.channels; }
    int sampleRateHz() const { return info_.samplerate; }
    // As the file states it, a hint at most: a decoder may give fewer or more, and the library
    // tells an unknown length as the largest count it has.
    std::int64_t frameCount() const { return std::int64_t(info_.frames); }
    bool isSeekable() const { return info_.seekable != 0; }

    // "FLAC, 24-bit, 48000 Hz, stereo": container, encoding, rate and channels as stored.
    std::string formatText() const;

    // Reads up to out.size() / channelCount() frames as interleaved levels of full scale +-1;
    // the number of frames read, 0 at the end, -1 on a decoding error.
    std::int64_t readFrames(std::span<double> out);
    // The next read starts at frame `frame`. False when the library cannot go there.
    bool seek(std::int64_t frame);

private:
    SNDFILE* file_ = nullptr;
    SF_INFO info_ {};
};

} // namespace tt
