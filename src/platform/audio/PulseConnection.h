#pragma once
// The connection to the desktop's sound server (PulseAudio or a server that speaks its protocol)
// and the thread that serves it. Nothing here ever waits for the server except open(), and that
// for a bounded time: a stalled server leaves every caller free. A connection lost after open()
// is made again every retryInterval until the server answers.
//
// Streams and the context are used only while locked; the callbacks of both run on the
// connection's own thread, which holds the lock while it runs them.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <pulse/pulseaudio.h>

namespace tt {

class PulseConnection {
public:
    static constexpr std::chrono::milliseconds retryInterval { 500 };

    // onLost runs locked on the connection's thread when an open connection fails; every stream
    // on it is dead by then and must be released.
    explicit PulseConnection(std::function<void()> onLost);
    ~PulseConnection(); // closes
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Starts the thread and connects; false when no server answered within the timeout, and
    // the connection is then closed again. While open, only returns true.
    bool open(std::chrono::milliseconds timeout);
    void close();
    // From an open() that succeeded until close(), whether the server answers just now or not.
    bool isOpen() const { return opened_; }

    // Both do nothing while closed.
    void lock();
    void unlock();

    // The context while the server answers, else null. Locked only.
    pa_context* readyContext() const;

private:
    enum class Outcome { Pending, Ready, Failed };

    static void onContextState(pa_context* context, void* self);
    static void onRetry(
        pa_mainloop_api* api, pa_time_event* event, const timeval* when, void* self);
    bool connect();
    void scheduleRetry();
    void dropContext();

    std::function<void()> onLost_;
    pa_threaded_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_time_event* retryTimer_ = nullptr;
    bool opened_ = false; // after open() succeeded: failures are retried, not reported

    std::mutex outcomeMutex_; // the first connection's outcome, for open() to wait on
    std::condition_variable outcomeChanged_;
    Outcome outcome_ = Outcome::Pending;
};

} // namespace tt
