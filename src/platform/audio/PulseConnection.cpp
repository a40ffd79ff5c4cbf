#include "platform/audio/PulseConnection.h"

namespace tt {

PulseConnection::PulseConnection(std::function<void()> onLost)
    : onLost_(std::move(onLost))
{
}

PulseConnection::~PulseConnection()
{
    close();
}

bool PulseConnection::open(std::chrono::milliseconds timeout)
{
    if (mainloop_ != nullptr) {
        return opened_;
    }
    mainloop_ = pa_threaded_mainloop_new();
    if (mainloop_ == nullptr) {
        return false;
    }
    if (pa_threaded_mainloop_start(mainloop_) < 0) {
        pa_threaded_mainloop_free(mainloop_);
        mainloop_ = nullptr;
        return false;
    }
    outcome_ = Outcome::Pending;
    lock();
    const bool connecting = connect();
    unlock();
    bool ready = false;
    if (connecting) {
        std::unique_lock wait(outcomeMutex_);
        outcomeChanged_.wait_for(wait, timeout, [this] { return outcome_ != Outcome::Pending; });
        ready = outcome_ == Outcome::Ready;
    }
    lock();
    opened_ = ready && readyContext() != nullptr;
    unlock();
    if (!opened_) {
        close();
    }
    return opened_;
}

void PulseConnection::close()
{
    if (mainloop_ == nullptr) {
        return;
    }
    lock();
    opened_ = false;
    if (retryTimer_ != nullptr) {
        pa_threaded_mainloop_get_api(mainloop_)->time_free(retryTimer_);
        retryTimer_ = nullptr;
    }
    dropContext();
    unlock();
    pa_threaded_mainloop_stop(mainloop_);
    pa_threaded_mainloop_free(mainloop_);
    mainloop_ = nullptr;
}

void PulseConnection::lock()
{
    if (mainloop_ != nullptr) {
        pa_threaded_mainloop_lock(mainloop_);
    }
}

void PulseConnection::unlock()
{
    if (mainloop_ != nullptr) {
        pa_threaded_mainloop_unlock(mainloop_);
    }
}

pa_context* PulseConnection::readyContext() const
{
    return context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY ? context_
                                                                                     : nullptr;
}

bool PulseConnection::connect()
{
    context_ = pa_context_new(pa_threaded_mainloop_get_api(mainloop_), "TICKTRACE");
    if (context_ == nullptr) {
        return false;
    }
    pa_context_set_state_callback(context_, onContextState, this);
    // No autospawn: a program that finds no server runs silent rather than start one.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        dropContext();
        return false;
    }
    return true;
}

void PulseConnection::dropContext()
{
    if (context_ == nullptr) {
        return;
    }
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

void PulseConnection::onContextState(pa_context* context, void* self)
{
    auto& connection = *static_cast<PulseConnection*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state != PA_CONTEXT_READY && state != PA_CONTEXT_FAILED && state != PA_CONTEXT_TERMINATED) {
        return;
    }
    if (!connection.opened_) {
        {
            std::lock_guard guard(connection.outcomeMutex_);
            connection.outcome_ = state == PA_CONTEXT_READY ? Outcome::Ready : Outcome::Failed;
        }
        connection.outcomeChanged_.notify_all();
        return;
    }
    if (state == PA_CONTEXT_READY) {
        return;
    }
    connection.onLost_();
    // The context is not released inside its own callback; the retry does it.
    pa_context_set_state_callback(context, nullptr, nullptr);
    connection.scheduleRetry();
}

void PulseConnection::scheduleRetry()
{
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(mainloop_);
    timeval when {};
    pa_timeval_add(pa_gettimeofday(&when), pa_usec_t(retryInterval.count()) * PA_USEC_PER_MSEC);
    if (retryTimer_ == nullptr) {
        retryTimer_ = api->time_new(api, &when, onRetry, this);
    } else {
        api->time_restart(retryTimer_, &when);
    }
}

void PulseConnection::onRetry(pa_mainloop_api*, pa_time_event*, const timeval*, void* self)
{
    auto& connection = *static_cast<PulseConnection*>(self);
    connection.dropContext();
    // A server that is still gone fails this attempt again, and the next one is scheduled.
    if (!connection.connect()) {
        connection.scheduleRetry();
    }
}

} // namespace tt
