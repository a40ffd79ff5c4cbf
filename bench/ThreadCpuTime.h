#pragma once

#include <ctime>

namespace tt::bench {

// The calling thread's CPU time, which other work on a shared machine does not inflate.
inline double threadCpuSeconds()
{
    timespec now {};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

} // namespace tt::bench
