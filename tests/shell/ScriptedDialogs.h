#pragma once
// Dialog answers given by the test in advance; messages are recorded instead of shown.

#include "platform/toolkit/Dialogs.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace tt::testing {

class ScriptedDialogs final : public Dialogs {
public:
    struct Log {
        std::vector<std::string> questions; // "title|default|filter" of every file dialog
        std::vector<std::string> messages; // "title|text" of every message box
        std::vector<std::string> details; // the detail of every message box, in the same order
        std::deque<std::string> answers; // paths to give, in order; "" cancels
        std::deque<std::size_t> filterAnswers; // the save dialogs' chosen filters; else the first
        std::vector<std::string> yesNoQuestions; // "title|text" of every question
        std::deque<bool> yesNoAnswers; // in order; a question without an answer is answered No
        std::vector<std::string> abouts; // "title|text" of every About box
        std::vector<std::string> used; // every file the program told it opened or wrote
        // "title|value" of every text question
        std::vector<std::string> textQuestions;
        // In order; an empty answer, or a question without one, is cancelled.
        std::deque<std::optional<std::string>> textAnswers;
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
    std::string saveFile(std::string_view title, std::string_view name, std::string_view filter,
        std::size_t* chosenFilter) override
    {
        if (chosenFilter) {
            *chosenFilter = next(log_.filterAnswers);
        }
        return answer(title, name, filter);
    }
    void fileUsed(std::string_view path) override { log_.used.emplace_back(path); }
    void message(std::string_view title, std::string_view text, std::string_view detail) override
    {
        log_.messages.push_back(std::string(title) + "|" + std::string(text));
        log_.details.emplace_back(detail);
    }
    bool question(std::string_view title, std::string_view text, std::string_view) override
    {
        log_.yesNoQuestions.push_back(std::string(title) + "|" + std::string(text));
        return next(log_.yesNoAnswers);
    }
    std::optional<std::string> askText(
        std::string_view title, std::string_view, std::string_view value) override
    {
        log_.textQuestions.push_back(std::string(title) + "|" + std::string(value));
        return next(log_.textAnswers);
    }
    void about(std::string_view title, std::string_view text) override
    {
        log_.abouts.push_back(std::string(title) + "|" + std::string(text));
    }

private:
    std::string answer(std::string_view title, std::string_view name, std::string_view filter)
    {
        log_.questions.push_back(
            std::string(title) + "|" + std::string(name) + "|" + std::string(filter));
        return next(log_.answers);
    }

    // The next scripted answer; without one, the empty answer: "", No or cancelled.
    template <typename Answer> static Answer next(std::deque<Answer>& answers)
    {
        if (answers.empty()) {
            return {};
        }
        Answer answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }

    Log& log_;
};

} // namespace tt::testing
