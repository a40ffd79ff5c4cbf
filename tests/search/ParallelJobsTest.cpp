#include "search/ParallelJobs.h"

#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace tt {
namespace {

    TEST(WorkerPool, RunsEveryJobOfManyBatchesOnTheSameThreads)
    {
        WorkerPool pool(3);
        const auto caller = std::this_thread::get_id();
        std::mutex mutex;
        std::set<std::thread::id> workers;
        // Batches smaller than, equal to and larger than the pool, and empty ones.
        for (const int jobCount : { 0, 1, 3, 5, 200, 0, 2, 50 }) {
            std::vector<int> runs(std::size_t(jobCount), 0);
            int watches = 0;
            pool.run(
                jobCount,
                [&](int i) {
                    ++runs[std::size_t(i)];
                    const std::lock_guard lock(mutex);
                    workers.insert(std::this_thread::get_id());
                },
                [&] {
                    EXPECT_EQ(std::this_thread::get_id(), caller);
                    ++watches;
                });
            EXPECT_EQ(runs, std::vector<int>(std::size_t(jobCount), 1)) << jobCount;
            EXPECT_GE(watches, 1);
        }
        EXPECT_LE(workers.size(), 3u) << "a batch started threads of its own";
        EXPECT_FALSE(workers.contains(caller));
    }

} // namespace
} // namespace tt
