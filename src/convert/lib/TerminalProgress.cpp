#include "convert/lib/TerminalProgress.h"

#include "convert/lib/CommandLine.h"

namespace tt {

TerminalProgress::TerminalProgress(
    std::FILE* stream, bool enabled, std::chrono::milliseconds delay, std::string_view activity)
    : stream_(stream)
    , enabled_(enabled && stream != nullptr)
    , shownFrom_(std::chrono::steady_clock::now() + delay)
    , activity_(activity)
{
}

void TerminalProgress::report(int percent)
{
    if (!enabled_ || percent == shownPercent_ || percent <= 0) {
        return;
    }
    if (std::chrono::steady_clock::now() < shownFrom_) {
        return;
    }
    shownPercent_ = percent;
    std::fprintf(stream_, "\r%.*s: %s %3d%%", int(convertProgramName.size()),
        convertProgramName.data(), activity_.c_str(), percent);
    std::fflush(stream_);
}

void TerminalProgress::finish()
{
    if (shownPercent_ < 0) {
        return;
    }
    shownPercent_ = -1;
    // Carriage return, erase to the end of the line: the next message starts on a clean line.
    std::fputs("\r\x1b[K", stream_);
    std::fflush(stream_);
}

} // namespace tt
