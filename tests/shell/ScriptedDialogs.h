#pragma once
// Dialog answers given by the test in advance; messages are recorded instead of shown.

#include "platform/toolkit/Dialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace tt::testing {

class ScriptedDialogs final : public Dialogs {
public:
    struct Log {
        std::vector<std::string> questions; // "title|default|filter" of every file dialog
        std::vector<std::string> messages; // "title|text" of every message box
        std::deque<std::string> answers; // paths to give, in order; "" cancels
    };

    explicit ScriptedDialogs(Log& log)
        : log_(log)
    {
    }

    std::string openFile(
        std::string_view title, std::string_view name, std::string_view filter) override
    {
        return answer(title, name, filter);
    }
    std::string saveFile(
        std::string_view title, std::string_view name, std::string_view filter) override
    {
        return answer(title, name, filter);
    }
    void message(std::string_view title, std::string_view text) override
    {
        log_.messages.push_back(std::string(title) + "|" + std::string(text));
    }

private:
    std::string answer(std::string_view title, std::string_view name, std::string_view filter)
    {
        log_.questions.push_back(
            std::string(title) + "|" + std::string(name) + "|" + std::string(filter));
        if (log_.answers.empty()) {
            return {};
        }
        std::string path = log_.answers.front();
        log_.answers.pop_front();
        return path;
    }

    Log& log_;
};

} // namespace tt::testing
