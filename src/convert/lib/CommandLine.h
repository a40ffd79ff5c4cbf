#pragma once
// The command line of ticktrace-convert: `ticktrace-convert [options] INPUT`, a sound file.

#include "convert/lib/ConsoleStreams.h"
#include "convert/lib/ConvertOptions.h"
#include "convert/lib/ExitStatus.h"
#include "text/Version.h"

#include <span>
#include <string>
#include <string_view>

namespace tt {

inline constexpr std::string_view convertProgramName = "ticktrace-convert";
inline constexpr std::string_view convertVersionText = "ticktrace-convert " TICKTRACE_VERSION;

// One line, without its line end.
std::string convertUsageLine();
std::string convertHelpText();

// Reads the arguments (without the program name). Options take their value as `--opt value` or
// `--opt=value`; "--" ends the options. False with a one-line message in `error` for an unknown
// or repeated option, a missing, malformed or out-of-range value, a missing or second input, or
// outputs that would collide with each other or with the input (compared as files, not as
// names). --help and --version need no input.
bool parseConvertArguments(
    std::span<const std::string_view> arguments, ConvertOptions& options, std::string& error);

// The whole tool: reads the arguments, then prints help or version or runs the conversion.
ExitStatus runConvertCommand(
    std::span<const std::string_view> arguments, const ConsoleStreams& console);

} // namespace tt
