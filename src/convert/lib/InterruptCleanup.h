#pragma once

#include <string>

namespace tt {

// While it lives, an interrupt (Ctrl+C), hang-up or termination request first removes the
// temporary files of outputs that are still being written, then ends the process by the same
// signal as before. Without it such a signal would leave them beside their targets. A signal the
// process was started with ignored stays ignored. One at a time per process; holds at most a few
// paths of up to 4095 bytes (longer ones are not tracked).
class InterruptCleanup {
public:
    InterruptCleanup();
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

    // A file to remove on interrupt. Removing it once it was renamed or deleted does no harm.
    void add(const std::string& path);
};

} // namespace tt
