#include "search/ParallelJobs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tt {

void runParallelJobs(int jobCount, int threadCount, const std::function<void(int job)>& job,
    const std::function<void()>& watch)
{
    const int workers = std::clamp(threadCount, 1, std::max(jobCount, 1));
    std::atomic<int> next { 0 };
    std::mutex mutex;
    std::condition_variable finished;
    int running = workers;
    const auto work = [&] {
        for (int i = next.fetch_add(1); i < jobCount; i = next.fetch_add(1)) {
            job(i);
        }
        const std::lock_guard lock(mutex);
        --running;
        finished.notify_one();
    };
    std::vector<std::jthread> threads;
    threads.reserve(std::size_t(workers));
    for (int i = 0; i < workers; ++i) {
        threads.emplace_back(work);
    }
    if (watch) {
        watch();
    }
    std::unique_lock lock(mutex);
    while (!finished.wait_for(lock, std::chrono::milliseconds(20), [&] { return running == 0; })) {
        if (watch) {
            lock.unlock();
            watch();
            lock.lock();
        }
    }
}

int workerThreadCount(int requested)
{
    if (requested > 0) {
        return requested;
    }
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

} // namespace tt
