#pragma once
// Number and path formatting shared by the window, the loader, the conversion and the export.
// Plain C++, no toolkit objects: everything here is usable from the command-line tool too.

#include <cstdint>
#include <string>
#include <string_view>

namespace tt {

// Fixed-point text with six decimals, as the Volume field shows it: 1.0f -> "1.000000".
std::string formatFixed6(float value);

// Fixed-point text with the given count of decimals, the nearest such number to the value:
// (12.345, 2) -> "12.35" (12.345 is a little above that half), (-7.08, 1) -> "-7.1". A value
// that rounds to zero has no minus sign.
std::string formatFixed(double value, int decimals);

// Leading decimal number of the text (after optional white space) in single precision; 0 when
// the text does not start with a number. "2.5" -> 2.5, "abc" -> 0, "3x" -> 3.
float parseFloat(std::string_view text);

// Plain decimal digits, a minus sign for negatives, no leading zeros.
std::string toDecimal(std::int64_t value);

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2). The argument must lie
// within the range of int64; every float-to-integer conversion of the program goes through here
// or through the faster per-sample variant in the modulator.
std::int64_t roundHalfEven(double value);

// The part after the last '/' or '\\' (the whole path when it has none).
std::string_view fileNamePart(std::string_view path);

// The part of the file name after its last dot; "" when the name has no dot.
std::string_view extensionOf(std::string_view path);

// A file name without extension (nothing after its last dot) gets `extension` appended; any
// other name is used unchanged: ("song", ".txt") gives "song.txt", ("song.asm", ".txt")
// "song.asm".
std::string withDefaultExtension(std::string_view path, std::string_view extension);

// Whether the path is /proc, /sys or /dev or lies below one of them, also through symbolic
// links: folders of special files that a file dialog must not look into (reading some of them
// blocks). A relative path is taken from the working folder.
bool isInSystemFolder(std::string_view path);

} // namespace tt
