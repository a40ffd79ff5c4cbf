#include "search/ParallelJobs.h"

#include <algorithm>
#include <chrono>

namespace tt {

WorkerPool::WorkerPool(int threadCount)
{
    const int workers = std::max(threadCount, 1);
    threads_.reserve(std::size_t(workers));
    for (int i = 0; i < workers; ++i) {
        threads_.emplace_back([this] { work(); });
    }
}

WorkerPool::~WorkerPool()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    // The jthreads join as they are destroyed.
}

void WorkerPool::work()
{
    std::uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || batch_ != seen; });
            if (stopping_) {
                return;
            }
            seen = batch_;
        }
        for (int i = next_.fetch_add(1); i < jobCount_; i = next_.fetch_add(1)) {
            (*job_)(i);
        }
        const std::lock_guard lock(mutex_);
        if (--busy_ == 0) {
            finished_.notify_one();
        }
    }
}

void WorkerPool::run(
    int jobCount, const std::function<void(int job)>& job, const std::function<void()>& watch)
{
    {
        const std::lock_guard lock(mutex_);
        job_ = &job;
        jobCount_ = jobCount;
        next_.store(0);
        busy_ = int(threads_.size());
        ++batch_;
    }
    wake_.notify_all();
    if (watch) {
        watch();
    }
    std::unique_lock lock(mutex_);
    while (!finished_.wait_for(lock, std::chrono::milliseconds(20), [&] { return busy_ == 0; })) {
        if (watch) {
            lock.unlock();
            watch();
            lock.lock();
        }
    }
}

void runParallelJobs(int jobCount, int threadCount, const std::function<void(int job)>& job,
    const std::function<void()>& watch)
{
    WorkerPool pool(std::clamp(threadCount, 1, std::max(jobCount, 1)));
    pool.run(jobCount, job, watch);
}

int workerThreadCount(int requested)
{
    if (requested > 0) {
        return requested;
    }
    return int(std::max(1u, std::thread::hardware_concurrency()));
}

} // namespace tt
