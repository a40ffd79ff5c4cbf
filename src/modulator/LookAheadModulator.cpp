#include "modulator/LookAheadModulator.h"

#include <algorithm>

namespace tt {

LookAheadModulator::LookAheadModulator(const PinModel& pin, int pathCount, int delayFrames)
    : pin_(pin)
    , pathCount_(std::clamp(pathCount, 1, maxPathCount))
    , delayFrames_(std::clamp(delayFrames, 0, maxDelayFrames))
{
    // One candidate, the pin where it stands (at rest for a whole pass); the others are empty
    // (infinitely dear) until the lattice has spread over them. Copies of the one candidate would
    // never spread: each frame's merges and drop would leave copies of one successor.
    level_[0] = pin.modelLevel;
    std::fill(cost_.begin() + 1, cost_.end(), std::numeric_limits<double>::infinity());
}

bool LookAheadModulator::advanceRare(double target, bool decides)
{
    using Limits = PinModel::Limits;
    const bool rails = pin_.limits() == Limits::AreTheSuccessors;
    if (pathCount_ == defaultPathCount) {
        return rails ? advance<defaultPathCount, Limits::AreTheSuccessors>(target, decides)
                     : advance<defaultPathCount, Limits::Both>(target, decides);
    }
    return rails ? advance<0, Limits::AreTheSuccessors>(target, decides)
                 : advance<0, Limits::Both>(target, decides);
}

bool LookAheadModulator::flush(bool& down)
{
    const std::int64_t pending = takenFrames_ - committedFrames_;
    if (pending <= 0) {
        return false;
    }
    // The first cheapest candidate: the least cost was subtracted, so its cost is 0.
    std::size_t best = 0;
    while (cost_[best] != 0.0) {
        ++best;
    }
    down = ((history_[best] >> (pending - 1)) & 1u) != 0;
    ++committedFrames_;
    return true;
}

} // namespace tt
