#pragma once

#include "platform/toolkit/Dialogs.h"

namespace tt {

class Window;

// The desktop's own modal dialogs, centred on the main window.
class DesktopDialogs final : public Dialogs {
public:
    explicit DesktopDialogs(const Window& owner)
        : owner_(owner)
    {
    }

    std::string openFile(
        std::string_view title, std::string_view defaultName, std::string_view filter) override;
    std::string saveFile(
        std::string_view title, std::string_view defaultName, std::string_view filter) override;
    void message(std::string_view title, std::string_view text) override;

private:
    const Window& owner_;
};

} // namespace tt
