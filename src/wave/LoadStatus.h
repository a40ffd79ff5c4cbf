#pragma once

namespace tt {

// The outcome of reading a sound file. Only Loaded changes anything; every failure is told to the
// user, each in its own words, except a cancel, which the user asked for.
enum class LoadStatus {
    Loaded,
    Unreadable, // the file could not be opened or read
    OutOfMemory, // its samples do not fit in memory
    // Not an 8- or 16-bit PCM RIFF/WAVE file with a "data" chunk (the WAV loader), nor a sound
    // file the decoder reads (src/decode)
    NotSupported,
    Cancelled, // the user stopped a long read (a resampling) before it ended
};

} // namespace tt
