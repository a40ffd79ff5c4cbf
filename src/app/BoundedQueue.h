#pragma once
// A first-in first-out queue between threads that holds at most `capacity` items: push() waits
// for room, pop() for an item. close() ends the stream (what was pushed is still popped, then
// pop() returns nothing); cancel() stops both sides at once, dropping what the queue holds.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace tt {

template <class T> class BoundedQueue {
public:
    explicit BoundedQueue(std::size_t capacity)
        : capacity_(std::max<std::size_t>(capacity, 1))
    {
    }

    // Waits for room and appends the item. False, dropping it, once the queue is closed or
    // cancelled.
    bool push(T item)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || items_.size() < capacity_; });
        if (closed_) {
            return false;
        }
        items_.push_back(std::move(item));
        changed_.notify_all();
        return true;
    }

    // Waits for the next item. Empty once the queue is closed and every item pushed before was
    // popped, and at once after cancel().
    std::optional<T> pop()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || !items_.empty(); });
        if (items_.empty()) {
            return std::nullopt;
        }
        std::optional<T> item(std::move(items_.front()));
        items_.pop_front();
        changed_.notify_all();
        return item;
    }

    // No more items will come: the ones held are still popped.
    void close()
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

    // Both sides stop: every waiting and later push() and pop() returns at once.
    void cancel()
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        items_.clear();
        changed_.notify_all();
    }

private:
    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<T> items_;
    bool closed_ = false;
};

} // namespace tt
