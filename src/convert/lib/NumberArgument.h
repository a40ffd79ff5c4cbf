#pragma once
// Strict readers for numeric option values: the whole argument must be the number, so "30x",
// " 5" or "" are refused rather than read as their leading part or as 0.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tt {

// An optional '+' or '-' and decimal digits. Empty when malformed or beyond int64.
std::optional<std::int64_t> parseWholeNumber(std::string_view text);

// True for an optional sign, digits with at most one decimal point (at least one digit in all)
// and an optional exponent ("e" or "E", optional sign, digits). No white space, no "inf" or
// "nan", no hexadecimal.
bool isDecimalNumber(std::string_view text);

} // namespace tt
