#pragma once

namespace tt {

// The outcome of reading a WAV file. Only Loaded changes anything; NotSupported is the one
// failure the user is told about, Unreadable ends the load silently.
enum class LoadStatus {
    Loaded,
    Unreadable, // the file could not be opened or read, or its samples do not fit in memory
    NotSupported, // not an 8- or 16-bit PCM RIFF/WAVE file with a "data" chunk
};

} // namespace tt
