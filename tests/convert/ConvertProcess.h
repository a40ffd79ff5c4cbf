#pragma once
// Runs the real ticktrace-convert executable with its output streams captured in files.

#include "wave/WaveBytes.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace tt::testing {

struct ProcessResult {
    int exitCode = -1; // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

enum class StandardOutput {
    Captured,
    ReaderGone, // a pipe whose reading end is already closed, as after `| head`
};

// Starts the executable with the given standard streams; 0 when it could not be started. The
// child starts with the default action for SIGXFSZ whatever the test process does with it.
inline pid_t startConvert(
    const std::vector<std::string>& arguments, const posix_spawn_file_actions_t& actions)
{
    std::vector<std::string> all { TICKTRACE_CONVERT_EXE };
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    return spawned == 0 ? pid : 0;
}

// Standard input is /dev/null; standard error is captured.
inline ProcessResult runConvert(const std::vector<std::string>& arguments,
    const std::filesystem::path& captureDir, StandardOutput output = StandardOutput::Captured)
{
    const std::string outFile = (captureDir / "captured-stdout").string();
    const std::string errFile = (captureDir / "captured-stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    int pipeEnds[2] = { -1, -1 };
    if (output == StandardOutput::ReaderGone && ::pipe(pipeEnds) == 0) {
        ::close(pipeEnds[0]);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    } else {
        posix_spawn_file_actions_addopen(
            &actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addopen(
        &actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    ProcessResult result;
    const pid_t pid = startConvert(arguments, actions);
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[1] >= 0) {
        ::close(pipeEnds[1]);
    }
    if (pid == 0) {
        return result;
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    }
    result.out = fileText(outFile);
    result.err = fileText(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return result;
}

} // namespace tt::testing
