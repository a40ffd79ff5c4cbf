#include "text/TextFormat.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace tt {

// Both conversions use <charconv>, which ignores the process locale: the window toolkit adopts
// the user's locale at start-up, and a decimal comma must not change what "2.5" means.
std::string formatFixed6(float value)
{
    char buffer[64];
    const auto result = std::to_chars(
        buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

std::string formatFixed(double value, int decimals)
{
    char buffer[400]; // the longest double in fixed notation, with room for the decimals
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
        std::chars_format::fixed, std::clamp(decimals, 0, 17));
    std::string text(buffer, result.ptr);
    if (text.starts_with('-') && text.find_first_not_of("-0.") == std::string::npos) {
        text.erase(0, 1);
    }
    return text;
}

float parseFloat(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) {
        ++start;
    }
    text.remove_prefix(start);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    float value = 0.0f;
    const auto result = std::from_chars(
        text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument || std::isnan(value)) {
        return 0.0f;
    }
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone here; saturate like the C runtime: a negative
        // exponent means the number was too small (0), anything else too large (infinity).
        const std::string_view parsed(
            text.data(), static_cast<std::size_t>(result.ptr - text.data()));
        const auto exponent = parsed.find_first_of("eE");
        const bool tiny = exponent != std::string_view::npos && exponent + 1 < parsed.size()
            && parsed[exponent + 1] == '-';
        value = tiny ? 0.0f : HUGE_VALF;
    }
    return negative ? -value : value;
}

std::string toDecimal(std::int64_t value)
{
    return std::to_string(value);
}

std::int64_t roundHalfEven(double value)
{
    // Independent of the floating-point rounding mode (conversion to an integer always
    // truncates), and cheap enough for per-pixel use: no library call.
    if (!(std::fabs(value) < 0x1p52)) {
        return static_cast<std::int64_t>(value); // no fraction at this magnitude
    }
    const auto truncated = static_cast<std::int64_t>(value);
    const std::int64_t below = truncated - std::int64_t(double(truncated) > value);
    const double fraction = value - double(below); // exact: the fraction bits of value
    // Bitwise, not logical: the fraction is unpredictable, and a branch on it costs more than
    // the whole computation.
    const bool up = (fraction > 0.5) | ((fraction == 0.5) & ((below & 1) != 0));
    return below + std::int64_t(up);
}

std::string_view fileNamePart(std::string_view path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view extensionOf(std::string_view path)
{
    const std::string_view name = fileNamePart(path);
    const auto dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view {} : name.substr(dot + 1);
}

std::string withDefaultExtension(std::string_view path, std::string_view extension)
{
    std::string name(path);
    if (extensionOf(path).empty()) {
        name += extension;
    }
    return name;
}

bool isInSystemFolder(std::string_view path)
{
    namespace fs = std::filesystem;
    const auto inSystemFolder = [](const fs::path& absolute) {
        auto part = absolute.begin();
        if (part == absolute.end() || *part != "/" || ++part == absolute.end()) {
            return false;
        }
        return *part == "proc" || *part == "sys" || *part == "dev";
    };
    std::error_code error;
    const fs::path absolute = fs::absolute(fs::path(path), error).lexically_normal();
    if (error) {
        return false;
    }
    if (inSystemFolder(absolute)) {
        return true;
    }
    const fs::path resolved = fs::weakly_canonical(absolute, error);
    return !error && inSystemFolder(resolved);
}

} // namespace tt
