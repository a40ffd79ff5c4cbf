#pragma once
// The modal dialogs the program asks the user with. An interface, so that tests script the
// answers instead of blocking on a window.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tt {

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // Full path of the chosen file, "" when cancelled. A filter is "label|patterns", for
    // example "*.wav|*.wav" or "Sound files|*.flac *.wav"; several are joined by ";;", the first
    // chosen at the start. A default name with a folder opens the dialog in that folder with
    // the name proposed; without one the dialog opens in the folder of the last file used (see
    // fileUsed). Never in /proc, /sys or /dev, whose special files can block a dialog that
    // looks at them: the name is then proposed in the last folder used instead. Saving never
    // asks before replacing an existing file: the caller asks with question().
    virtual std::string openFile(
        std::string_view title, std::string_view defaultName, std::string_view filter)
        = 0;
    // chosenFilter, when given, receives the index of the filter chosen last (0 for the first).
    virtual std::string saveFile(std::string_view title, std::string_view defaultName,
        std::string_view filter, std::size_t* chosenFilter = nullptr)
        = 0;

    // The program has opened or written the file: later dialogs without a folder start in its
    // folder. A file only chosen, then refused or not written, moves no dialog.
    virtual void fileUsed(std::string_view path) = 0;

    // A message with an OK button only; the detail, when given, is shown beneath the text in
    // smaller print.
    virtual void message(
        std::string_view title, std::string_view text, std::string_view detail = {})
        = 0;

    // A question answered Yes (true) or No; No is the default answer.
    virtual bool question(
        std::string_view title, std::string_view text, std::string_view detail = {})
        = 0;

    // A line of text, proposed as value; empty when cancelled.
    virtual std::optional<std::string> askText(
        std::string_view title, std::string_view text, std::string_view value)
        = 0;

    // The program's About box: the text beside the program's icon.
    virtual void about(std::string_view title, std::string_view text) = 0;
};

} // namespace tt
