#pragma once

#include "decode/ProducedSampleStream.h"
#include "decode/SoundFile.h"
#include "wave/LoadStatus.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tt {

// A sound file the decoder library reads, as 16-bit PCM at its own rate and channel count,
// decoded piece by piece as it is read. Every level becomes level x 32768, rounded to the
// nearest integer (halves to even) and clipped to -32768 ... 32767.
//
// The length is what the decoder delivers, counted by decoding the file once when it is opened
// (up to the largest data chunk a WAV file holds): the frame count a header states can lie, so
// it is never allocated or padded to. Where the decoder fails inside the file, the file is
// opened again at a later frame and the frames between are silence, so the rest keeps its time;
// where it cannot go on, the sound ends there.
class DecodedSoundStream final : public ProducedSampleStream {
public:
    // Loaded; NotSupported for a file the library does not decode, that decodes to no frames or
    // has a rate or channel count the program does not take; Unreadable for one that cannot be
    // opened at all.
    LoadStatus open(const std::string& path);

    // The file's own format, as SoundFile::formatText() tells it.
    const std::string& originalFormat() const { return originalFormat_; }
    // Empty when the file decoded through; else a line on what was damaged or missing.
    const std::string& decodeNote() const { return decodeNote_; }

protected:
    std::optional<std::size_t> produce(std::span<std::uint8_t> out) override;
    bool restart() override;

private:
    // Up to `frames` frames into levels_, silence in a damaged stretch included; 0 at the end.
    std::int64_t readFrames(std::int64_t frames);
    // After a decoding error at position_: the file opened again at a later frame, with the
    // frames between as silence. False when no later frame can be reached.
    bool resumeAfterDamage();
    // The file opened again from its start; false when it cannot be, or is no longer the
    // format first opened.
    bool reopen();
    bool startOver();

    std::string path_;
    SoundFile file_;
    int channels_ = 0;
    int rateHz_ = 0;
    std::int64_t framesPerRead_ = 0;
    std::int64_t position_ = 0; // frames delivered, silence included
    std::int64_t silenceLeft_ = 0; // frames of a damaged stretch still to deliver
    int resumeAttempts_ = 0;
    bool fileEnded_ = false;
    // What the counting pass found.
    std::int64_t damagedFrames_ = 0;
    std::int64_t firstDamagedFrame_ = -1;
    bool stoppedByDamage_ = false;
    std::int64_t stoppedAtFrame_ = 0;
    std::vector<double> levels_; // one read's frames
    std::string originalFormat_;
    std::string decodeNote_;
};

} // namespace tt
