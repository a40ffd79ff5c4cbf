#pragma once
// The Volume setting as text: the window's Volume field and the command line's --volume both
// speak in multiples of 1.0 = 100 %.

#include <cstdint>
#include <string>
#include <string_view>

namespace tt {

// 100 -> "1.000000", 250 -> "2.500000".
std::string volumeText(int volume);

// The text's decimal value in single precision times 100, rounded half to even; 0 for text
// that is not a number. Not limited to the Volume range: the caller clamps or refuses.
std::int64_t volumeFromText(std::string_view text);

} // namespace tt
