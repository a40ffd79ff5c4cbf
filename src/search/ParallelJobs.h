#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tt {

// Worker threads that live as long as the pool and run one batch of jobs at a time: a search
// runs dozens of batches, and starting fresh threads for each would cost more than the small
// batches themselves.
class WorkerPool {
public:
    explicit WorkerPool(int threadCount);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Runs job(0) ... job(jobCount - 1) on the workers and returns when all have run.
    // Meanwhile the calling thread calls watch() once at the start and then every 20 ms; it is
    // the only thread that does. Each job should write only its own result, so that the
    // outcome never depends on which thread ran which job or when. One batch at a time: run is
    // called from one thread.
    void run(
        int jobCount, const std::function<void(int job)>& job, const std::function<void()>& watch);

    int threadCount() const { return int(threads_.size()); }

private:
    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    const std::function<void(int)>* job_ = nullptr;
    int jobCount_ = 0;
    std::atomic<int> next_ { 0 };
    int busy_ = 0; // workers still in the current batch
    std::uint64_t batch_ = 0; // counts the batches handed out
    bool stopping_ = false;
    std::vector<std::jthread> threads_;
};

// A batch on a pool of its own, of up to threadCount workers.
void runParallelJobs(int jobCount, int threadCount, const std::function<void(int job)>& job,
    const std::function<void()>& watch);

// One worker per core (at least 1), or `requested` when it is above 0.
int workerThreadCount(int requested);

} // namespace tt
