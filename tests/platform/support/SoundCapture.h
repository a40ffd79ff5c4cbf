#pragma once
// Records what the test sound server plays: runs parec on the null sink's monitor and collects
// its mono 16-bit samples on a thread of its own, so the test thread can sleep meanwhile.

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace tt {

class SoundCapture {
public:
    static constexpr int sampleRateHz = 44100;

    explicit SoundCapture(const std::string& sinkName);
    ~SoundCapture();
    SoundCapture(const SoundCapture&) = delete;
    SoundCapture& operator=(const SoundCapture&) = delete;

    // False when parec could not be started or delivered nothing within the timeout. The null
    // sink can take a few seconds before its monitor yields data.
    bool waitUntilFlowing(std::chrono::milliseconds timeout);

    std::vector<std::int16_t> samples() const;

    // Polls the samples captured so far until the predicate holds; false on timeout.
    bool waitUntil(const std::function<bool(const std::vector<std::int16_t>&)>& predicate,
        std::chrono::milliseconds timeout) const;

private:
    void readLoop();

    pid_t pid_ = -1;
    int readFd_ = -1;
    mutable std::mutex mutex_;
    std::vector<std::int16_t> samples_; // guarded by mutex_
    std::vector<std::uint8_t> pendingByte_; // reader thread only: half a sample between reads
    std::thread reader_;
};

} // namespace tt
