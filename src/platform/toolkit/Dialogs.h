#pragma once
// The modal dialogs the program asks the user with. An interface, so that tests script the
// answers instead of blocking on a window.

#include <string>
#include <string_view>

namespace tt {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Full path of the chosen file, "" when cancelled. The filter is "label|pattern", for
    // example "*.wav|*.wav". Saving never asks before replacing an existing file.
    virtual std::string openFile(
        std::string_view title, std::string_view defaultName, std::string_view filter)
        = 0;
    virtual std::string saveFile(
        std::string_view title, std::string_view defaultName, std::string_view filter)
        = 0;

    // A message with an OK button only.
    virtual void message(std::string_view title, std::string_view text) = 0;
};

} // namespace tt
