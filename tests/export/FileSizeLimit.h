#pragma once

#include <csignal>
#include <sys/resource.h>

namespace tt::testing {

// While it lives, no file that this process or a child it starts writes grows beyond limitBytes:
// a write past the limit fails part-way, as on a full disk. SIGXFSZ is ignored meanwhile, so
// that here the write fails instead of the signal ending the test.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limitBytes)
    {
        if (::getrlimit(RLIMIT_FSIZE, &saved_) != 0) {
            return;
        }
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = limitBytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        if (active_) {
            ::setrlimit(RLIMIT_FSIZE, &saved_);
        }
        if (previousHandler_ != SIG_ERR) {
            std::signal(SIGXFSZ, previousHandler_);
        }
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return active_; }

private:
    rlimit saved_ {};
    void (*previousHandler_)(int) = SIG_ERR;
    bool active_ = false;
};

} // namespace tt::testing
