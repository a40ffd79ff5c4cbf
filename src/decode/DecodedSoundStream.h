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
// nearest integer (halves to even) and clipped to -32768 ... 32767. The length is the frame
// count the file states: a decoder that ends early is followed by silence, one that gives more
// is cut there.
class DecodedSoundStream final : public ProducedSampleStream {
public:
    // Loaded; NotSupported for a file the library does not decode, states no frames or has a
    // rate the program does not take; Unreadable for one that cannot be opened at all.
    LoadStatus open(const std::string& path);

    // The file's own format, as SoundFile::formatText() tells it.
    const std::string& originalFormat() const { return originalFormat_; }

protected:
    std::optional<std::size_t> produce(std::span<std::uint8_t> out) override;
    bool restart() override;

private:
    SoundFile file_;
    bool fileEnded_ = false;
    std::vector<double> levels_; // one read's frames
    std::string originalFormat_;
};

} // namespace tt
