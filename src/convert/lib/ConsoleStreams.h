#pragma once

#include <chrono>
#include <cstdio>

namespace tt {

// Where the command-line tool talks to its caller. The streams are the caller's to close.
struct ConsoleStreams {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    // The progress line is for people watching a terminal, never for logs or pipes.
    bool errIsTerminal = false;
    // How long a pass must already have run before the progress line appears, so short inputs
    // never flash one.
    std::chrono::milliseconds progressDelay { 300 };
};

} // namespace tt
