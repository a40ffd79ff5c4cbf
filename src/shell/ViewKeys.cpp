#include "shell/ViewKeys.h"

#include "platform/toolkit/Event.h"

namespace tt {

std::optional<ViewStep> viewStepOfKey(int key)
{
    switch (key) {
    case Event::keyLeft:
        return ViewStep::GridBack;
    case Event::keyRight:
        return ViewStep::GridForward;
    case Event::keyPageUp:
        return ViewStep::PageBack;
    case Event::keyPageDown:
        return ViewStep::PageForward;
    case Event::keyHome:
        return ViewStep::Start;
    case Event::keyEnd:
        return ViewStep::End;
    default:
        return std::nullopt;
    }
}

} // namespace tt
