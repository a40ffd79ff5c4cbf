#pragma once

#include <functional>

namespace tt {

// Runs job(0) ... job(jobCount - 1) on up to threadCount worker threads and returns when all
// have run. Meanwhile the calling thread calls watch() once at the start and then every 20 ms;
// it is the only thread that does. Each job should write only its own result, so that the
// outcome never depends on which thread ran which job or when.
void runParallelJobs(int jobCount, int threadCount, const std::function<void(int job)>& job,
    const std::function<void()>& watch);

// One worker per core (at least 1), or `requested` when it is above 0.
int workerThreadCount(int requested);

} // namespace tt
