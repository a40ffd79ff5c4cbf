#pragma once
// A sound server of the test's own, separate from the one scripts/with-test-sound-server.sh
// starts, so that a test may freeze, kill and restart it: a PulseAudio daemon in a runtime
// folder of its own whose only output is a null sink. Restarts keep the socket path, so a
// client that reconnects finds the new server where the old one was.

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tt {

class PrivateSoundServer {
public:
    static constexpr const char* sinkName = "ticktrace_private";

    PrivateSoundServer(); // does not start the server yet
    ~PrivateSoundServer(); // stops the server (also a frozen one) and removes its folder
    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

    // Starts the daemon and waits until it answers; false when pulseaudio is missing or
    // never answered.
    bool start();
    // Ends the daemon as a crash would (SIGKILL) and waits until it is gone.
    void kill();
    // Freezes and thaws the daemon (SIGSTOP, SIGCONT) as a stalled server would behave.
    void freeze();
    void thaw();

    // For PULSE_SERVER: "unix:<folder>/native".
    std::string address() const;

private:
    std::string runtimeDir_;
    pid_t pid_ = -1;
};

// The lines of `pactl list sink-inputs short` for the server at this address (the one the
// environment names when empty): one per playback stream the server holds.
std::vector<std::string> playbackStreams(const std::string& serverAddress = {});

// Runs a command (searched in PATH) to its end with its standard output captured; stderr is
// discarded. Empty when it could not be started.
std::string commandOutput(const std::vector<std::string>& arguments, int* exitCode = nullptr);

} // namespace tt
