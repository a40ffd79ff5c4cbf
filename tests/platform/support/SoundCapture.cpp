#include "SoundCapture.h"

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tt {

SoundCapture::SoundCapture(const std::string& sinkName)
{
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    const std::string device = "--device=" + sinkName + ".monitor";
    const std::string rate = "--rate=" + std::to_string(sampleRateHz);
    std::vector<std::string> args { "parec", device, "--raw", "--format=s16le", rate,
        "--channels=1", "--latency-msec=20" };
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int failed = posix_spawnp(&pid_, "parec", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (failed != 0) {
        pid_ = -1;
        ::close(fds[0]);
        return;
    }
    readFd_ = fds[0];
    reader_ = std::thread([this] { readLoop(); });
}

SoundCapture::~SoundCapture()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
    }
    if (reader_.joinable()) {
        reader_.join(); // parec's end closes the pipe
    }
    if (pid_ > 0) {
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    if (readFd_ >= 0) {
        ::close(readFd_);
    }
}

void SoundCapture::readLoop()
{
    std::vector<std::uint8_t> buffer(8192);
    for (;;) {
        const ssize_t countBytes = read(readFd_, buffer.data(), buffer.size());
        if (countBytes <= 0) {
            return;
        }
        pendingByte_.insert(pendingByte_.end(), buffer.begin(), buffer.begin() + countBytes);
        const std::size_t wholeBytes = pendingByte_.size() / 2 * 2;
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < wholeBytes; i += 2) {
            samples_.push_back(
                std::int16_t(std::uint16_t(pendingByte_[i] | (pendingByte_[i + 1] << 8))));
        }
        pendingByte_.erase(pendingByte_.begin(), pendingByte_.begin() + long(wholeBytes));
    }
}

bool SoundCapture::waitUntilFlowing(std::chrono::milliseconds timeout)
{
    // A fifth of a second captured shows the stream runs steadily, not just that it started.
    return pid_ > 0
        && waitUntil([](const std::vector<std::int16_t>& s) { return s.size() > sampleRateHz / 5; },
            timeout);
}

std::vector<std::int16_t> SoundCapture::samples() const
{
    std::lock_guard lock(mutex_);
    return samples_;
}

bool SoundCapture::waitUntil(const std::function<bool(const std::vector<std::int16_t>&)>& predicate,
    std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (predicate(samples())) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace tt
