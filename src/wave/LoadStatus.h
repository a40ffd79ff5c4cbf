#pragma once

namespace tt {

// The outcome of reading a WAV file. Only Loaded changes anything; every failure is told to the
// user, each in its own words.
enum class LoadStatus {
    Loaded,
    Unreadable, // the file could not be opened or read
    OutOfMemory, // its samples do not fit in memory
    NotSupported, // not an 8- or 16-bit PCM RIFF/WAVE file with a "data" chunk
};

} // namespace tt
