#pragma once

#include "platform/toolkit/Dialogs.h"

#include <QString>

namespace tt {

class Window;

// The desktop's own modal dialogs, centred on the main window. A file dialog without a default
// name opens in the folder of the last file used (fileUsed), at first in the working folder, or
// the home folder where that is a system folder. Messages and questions show their detail as the
// box's informative text.
class DesktopDialogs final : public Dialogs {
public:
    explicit DesktopDialogs(const Window& owner)
        : owner_(owner)
    {
    }

    std::string openFile(
        std::string_view title, std::string_view defaultName, std::string_view filter) override;
    std::string saveFile(std::string_view title, std::string_view defaultName,
        std::string_view filter, std::size_t* chosenFilter = nullptr) override;
    void fileUsed(std::string_view path) override;
    void message(
        std::string_view title, std::string_view text, std::string_view detail = {}) override;
    bool question(
        std::string_view title, std::string_view text, std::string_view detail = {}) override;
    // A number field with arrows; numbers beyond the toolkit's int are limited to it.
    std::optional<std::string> askText(
        std::string_view title, std::string_view text, std::string_view value) override;
    void about(std::string_view title, std::string_view text) override;

private:
    QString startingPoint(std::string_view defaultName) const;
    QString lastFolder() const;

    const Window& owner_;
    QString lastFolder_; // empty until a file was used
};

} // namespace tt
