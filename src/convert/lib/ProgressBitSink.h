#pragma once

#include "convert/lib/TerminalProgress.h"
#include "export/ExportProgress.h"

#include <cstdint>

namespace tt {

// A bit sink for the conversion pass that only reports progress, for a pass that writes no text.
// Checks every 2^16 frames, so it costs a compare per frame.
class ProgressBitSink {
public:
    ProgressBitSink(TerminalProgress& progress, std::int64_t frameCount)
        : progress_(progress)
        , frameCount_(frameCount)
    {
    }

    void takeBit(bool, std::int64_t frameIndex)
    {
        if ((frameIndex & 0xFFFF) == 0) {
            progress_.report(progressPercent(frameIndex, frameCount_));
        }
    }

private:
    TerminalProgress& progress_;
    std::int64_t frameCount_ = 0;
};

} // namespace tt
