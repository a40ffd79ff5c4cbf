#include "PrivateSoundServer.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tt {
namespace {

    std::vector<char*> pointersTo(std::vector<std::string>& strings)
    {
        std::vector<char*> pointers;
        for (auto& s : strings) {
            pointers.push_back(s.data());
        }
        pointers.push_back(nullptr);
        return pointers;
    }

} // namespace

std::string commandOutput(const std::vector<std::string>& arguments, int* exitCode)
{
    int fds[2];
    if (pipe(fds) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<std::string> args = arguments;
    auto argv = pointersTo(args);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string output;
    if (failed == 0) {
        char buffer[4096];
        ssize_t countBytes = 0;
        while ((countBytes = read(fds[0], buffer, sizeof buffer)) > 0) {
            output.append(buffer, std::size_t(countBytes));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (exitCode != nullptr) {
            *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
    } else if (exitCode != nullptr) {
        *exitCode = -1;
    }
    ::close(fds[0]);
    return output;
}

PrivateSoundServer::PrivateSoundServer()
{
    std::string pattern
        = (std::filesystem::temp_directory_path() / "ticktrace-server.XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
        runtimeDir_ = pattern;
    }
}

PrivateSoundServer::~PrivateSoundServer()
{
    kill();
    if (!runtimeDir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(runtimeDir_, ignored);
    }
}

bool PrivateSoundServer::start()
{
    if (runtimeDir_.empty() || pid_ > 0) {
        return pid_ > 0;
    }
    std::vector<std::string> args { "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
        "--log-target=stderr", "--log-level=error",
        std::string("--load=module-null-sink norewinds=1 sink_name=") + sinkName,
        "--load=module-native-protocol-unix auth-anonymous=1 auth-cookie-enabled=0 socket="
            + runtimeDir_ + "/native" };
    // The daemon keeps its state, cookie and lock files in its own folder, never the user's.
    std::vector<std::string> environment { "XDG_RUNTIME_DIR=" + runtimeDir_,
        "PULSE_STATE_PATH=" + runtimeDir_ + "/state", "PULSE_COOKIE=" + runtimeDir_ + "/cookie",
        "HOME=" + runtimeDir_,
        std::string("PATH=") + (std::getenv("PATH") ? std::getenv("PATH") : "") };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string log = runtimeDir_ + "/pulse.log";
    posix_spawn_file_actions_addopen(
        &actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    auto argv = pointersTo(args);
    auto envp = pointersTo(environment);
    const int failed
        = posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        pid_ = -1;
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int exitCode = -1;
        commandOutput({ "pactl", "--server=" + address(), "info" }, &exitCode);
        if (exitCode == 0) {
            commandOutput({ "pactl", "--server=" + address(), "set-default-sink", sinkName });
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill();
    return false;
}

void PrivateSoundServer::kill()
{
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    // A killed daemon leaves its socket and pid file; the next one replaces them.
}

void PrivateSoundServer::freeze()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGSTOP);
    }
}

void PrivateSoundServer::thaw()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGCONT);
    }
}

std::string PrivateSoundServer::address() const
{
    return "unix:" + runtimeDir_ + "/native";
}

std::vector<std::string> playbackStreams(const std::string& serverAddress)
{
    std::vector<std::string> args { "pactl", "list", "sink-inputs", "short" };
    if (!serverAddress.empty()) {
        args.insert(args.begin() + 1, "--server=" + serverAddress);
    }
    std::istringstream lines(commandOutput(args));
    std::vector<std::string> inputs;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) {
            inputs.push_back(line);
        }
    }
    return inputs;
}

} // namespace tt
