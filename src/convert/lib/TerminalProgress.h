#pragma once

#include "export/ExportProgress.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace tt {

// The progress line on a terminal: "ticktrace-convert: converting 42%" (or another activity)
// rewritten in place while a pass runs, and wiped when it ends. Shown only once the pass has run
// for `delay`, so a short input prints nothing at all.
class TerminalProgress {
public:
    // Disabled progress prints nothing, whatever it is told.
    TerminalProgress(std::FILE* stream, bool enabled, std::chrono::milliseconds delay,
        std::string_view activity = "converting");
    ~TerminalProgress() { finish(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // A percentage of the pass (0 ... 100).
    void report(int percent);

    // Wipes the line if one is shown.
    void finish();

private:
    std::FILE* stream_ = nullptr;
    bool enabled_ = false;
    std::chrono::steady_clock::time_point shownFrom_;
    int shownPercent_ = -1;
    std::string activity_;
};

} // namespace tt
