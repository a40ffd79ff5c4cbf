#pragma once
// The window program as a test drives it: a shown Shell with scripted dialogs, real toolkit
// input and the program's own event loop, one pending batch of events at a time.

#include "UserInput.h"
#include "platform/audio/AudioOutput.h"
#include "shell/ScriptedDialogs.h"
#include "shell/Shell.h"

#include <memory>

namespace tt::testing {

struct ShellDriver {
    ShellDriver()
    {
        shell.setDialogs(std::make_unique<ScriptedDialogs>(dialogs));
        shell.window().show();
    }

    // Handles every pending event as the program's loop would; false once the loop would end.
    bool pump()
    {
        input.settle();
        Event event;
        while (shell.window().pollEvent(event)) {
            if (!shell.dispatch(event)) {
                return false;
            }
        }
        return true;
    }

    AudioOutput audio; // closed until a test opens it: the slots then stay empty and silent
    ScriptedDialogs::Log dialogs;
    Shell shell { audio };
    UserInput input { shell.window() };
};

} // namespace tt::testing
