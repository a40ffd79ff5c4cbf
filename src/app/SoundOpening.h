#pragma once
// Opening a sound file for either front end, which each word a refusal in their own way: read in
// pieces at a rate asked for (the command line), or whole in memory as the file gave it, from
// which every other rate is resampled (the window).

#include "decode/LoadedSound.h"
#include "decode/SoundLoader.h"
#include "wave/LoadStatus.h"
#include "wave/SampleStream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tt {

enum class OpenStatus { Opened, Unreadable, OutOfMemory, NotSupported, CannotResample };

struct OpenedSound {
    std::unique_ptr<SampleStream> stream; // at the rate asked for
    std::string originalFormat; // of a decoded file (LoadedSound::originalFormat), else empty
    std::string decodeNote; // LoadedSound::decodeNote
    std::uint32_t ownRateHz = 0; // the rate the file gave
    std::string resampleRefusal; // with CannotResample: why, as a sentence

    // What the sound was, when decoded or resampled (soundOriginText); empty otherwise.
    std::string originText() const;
};

// Opens the file for reading in pieces, resampled to rateHz unless that is 0. `out` holds the
// rates and the refusal's reason also when the result is CannotResample.
OpenStatus openSound(const std::string& path, std::uint32_t rateHz, OpenedSound& out);

// A sound file whole in memory, kept as the file gave it.
class FileSound {
public:
    // Loads the file; this sound changes only when the result is Loaded.
    LoadStatus load(const std::string& path);

    // True when the file gives exactly this sound: the same format, notes and data bytes, read
    // and compared a piece at a time. A file opened again that still does need not be loaded a
    // second time, which would hold two copies until the second is accepted.
    bool isWhatTheFileGives(const std::string& path) const;

    const LoadedWave& original() const { return sound_.wave; }

    // The sound at rateHz, always resampled from the original (shared with it at its own rate).
    // Loaded; OutOfMemory; NotSupported when it cannot be resampled, with `reason` telling why;
    // Cancelled when `progress` (told the percentage as it resamples) asked to stop.
    LoadStatus atRate(std::uint32_t rateHz, LoadedWave& out, std::string& reason,
        const ReadProgress& progress = {}) const;

    // What the sound at rateHz was, as OpenedSound::originText().
    std::string originText(std::uint32_t rateHz) const;

private:
    LoadedSound sound_;
};

} // namespace tt
