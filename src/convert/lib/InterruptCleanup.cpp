#include "convert/lib/InterruptCleanup.h"

#include <array>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace tt {

namespace {

    constexpr int handledSignals[] = { SIGINT, SIGTERM, SIGHUP };
    constexpr std::size_t maxPaths = 4;
    constexpr std::size_t maxPathBytes = 4096;

    // Written before pathCount is raised, so the handler only ever sees complete paths.
    std::array<std::array<char, maxPathBytes>, maxPaths> paths {};
    volatile std::sig_atomic_t pathCount = 0;
    std::array<struct sigaction, std::size(handledSignals)> previous {};
    std::array<bool, std::size(handledSignals)> installed {};

    extern "C" void removeTemporaries(int signalNumber)
    {
        for (std::sig_atomic_t i = 0; i < pathCount; ++i) {
            ::unlink(paths[std::size_t(i)].data());
        }
        ::signal(signalNumber, SIG_DFL);
        ::raise(signalNumber);
    }

} // namespace

InterruptCleanup::InterruptCleanup()
{
    pathCount = 0;
    struct sigaction action { };
    action.sa_handler = removeTemporaries;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : handledSignals) {
        sigaddset(&action.sa_mask, signalNumber);
    }
    for (std::size_t i = 0; i < std::size(handledSignals); ++i) {
        // Ignored from the start (nohup, a background job): the caller asked not to be ended by
        // it, so it must not reach the handler, which would end the process.
        installed[i] = ::sigaction(handledSignals[i], nullptr, &previous[i]) == 0
            && previous[i].sa_handler != SIG_IGN
            && ::sigaction(handledSignals[i], &action, nullptr) == 0;
    }
}

InterruptCleanup::~InterruptCleanup()
{
    for (std::size_t i = 0; i < std::size(handledSignals); ++i) {
        if (installed[i]) {
            ::sigaction(handledSignals[i], &previous[i], nullptr);
            installed[i] = false;
        }
    }
    pathCount = 0;
}

void InterruptCleanup::add(const std::string& path)
{
    const auto slot = std::size_t(pathCount);
    if (slot >= maxPaths || path.size() >= maxPathBytes) {
        return;
    }
    std::memcpy(paths[slot].data(), path.c_str(), path.size() + 1);
    pathCount = std::sig_atomic_t(slot + 1);
}

} // namespace tt
