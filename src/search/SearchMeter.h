#pragma once

#include <atomic>
#include <cstdint>

namespace tt {

// Shared by a search's worker threads and the thread that reports its progress: how many frames
// the model has run so far, and whether the search was cancelled.
class SearchMeter {
public:
    // Counts frames run. False once the search is cancelled: the run should stop.
    bool advance(std::int64_t frames)
    {
        framesRun_.fetch_add(frames, std::memory_order_relaxed);
        return !cancelled();
    }

    std::int64_t framesRun() const { return framesRun_.load(std::memory_order_relaxed); }
    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

private:
    std::atomic<std::int64_t> framesRun_ { 0 };
    std::atomic<bool> cancelled_ { false };
};

} // namespace tt
