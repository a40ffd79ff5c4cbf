#pragma once

namespace tt {

// The command-line tool's process exit codes.
enum class ExitStatus : int {
    Done = 0,
    UsageError = 2,
    InputRefused = 3, // not readable, not a sound file it can decode, or too large for memory
    OutputFailed = 4, // an output could not be created or written; none is half-replaced
};

} // namespace tt
