#pragma once

#include "view/ViewStep.h"

#include <optional>

namespace tt {

// The view step a key asks for (Left, Right, Page Up, Page Down, Home, End); none for other keys.
std::optional<ViewStep> viewStepOfKey(int key);

} // namespace tt
