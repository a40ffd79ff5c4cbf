// ticktrace-convert: the window's conversion and export for scripts and build systems.

#include "convert/lib/CommandLine.h"

#include <csignal>
#include <string_view>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    // A reader that goes away (`| head`) makes writes fail with EPIPE instead of killing the
    // process, so unfinished output files are still cleaned up and the exit status says why.
    std::signal(SIGPIPE, SIG_IGN);
    // Likewise a file size limit (ulimit -f): the write fails with EFBIG instead.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    tt::ConsoleStreams console;
    console.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    return static_cast<int>(tt::runConvertCommand(arguments, console));
}
