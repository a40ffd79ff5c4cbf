#pragma once

#include <functional>

namespace tt {

// Told the search's progress in percent (0 ... 100), on the thread that called the search, at
// least once at the start and then every few hundredths of a second. Returning false cancels the
// search, which then ends within a few hundredths of a second.
using SearchProgress = std::function<bool(int percent)>;

} // namespace tt
