#pragma once
// The Volume setting as text: the window's Volume field and the command line's --volume both
// speak in multiples of 1.0 = 100 %.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tt {

// 100 -> "1.000000", 250 -> "2.500000".
std::string volumeText(int volume);

// The text's decimal value in single precision times 100, rounded half to even; 0 for text
// that is not a number. Not limited to the Volume range: the caller clamps or refuses.
std::int64_t volumeFromText(std::string_view text);

// The Volume the window's field gives: the whole text, white space around it aside, must be
// plain decimal digits with at most one decimal point ("2.5", ".75", "3."), read as
// volumeFromText reads it, and within the Volume range. Empty for anything else: letters,
// a decimal comma ("1,5"), a sign, an exponent, a value beyond 4.
std::optional<int> volumeOfField(std::string_view text);

} // namespace tt
