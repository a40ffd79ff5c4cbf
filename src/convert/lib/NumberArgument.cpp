#include "convert/lib/NumberArgument.h"

#include <charconv>

namespace tt {

namespace {

    bool isDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    // The count of leading digits of text.
    std::size_t digitRun(std::string_view text)
    {
        std::size_t count = 0;
        while (count < text.size() && isDigit(text[count])) {
            ++count;
        }
        return count;
    }

} // namespace

std::optional<std::int64_t> parseWholeNumber(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || digitRun(text) != text.size()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc {} || result.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

bool isDecimalNumber(std::string_view text)
{
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        text.remove_prefix(1);
    }
    const std::size_t wholeDigits = digitRun(text);
    text.remove_prefix(wholeDigits);
    std::size_t fractionDigits = 0;
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
        fractionDigits = digitRun(text);
        text.remove_prefix(fractionDigits);
    }
    if (wholeDigits + fractionDigits == 0) {
        return false;
    }
    if (!text.empty() && (text.front() == 'e' || text.front() == 'E')) {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
            text.remove_prefix(1);
        }
        const std::size_t exponentDigits = digitRun(text);
        if (exponentDigits == 0) {
            return false;
        }
        text.remove_prefix(exponentDigits);
    }
    return text.empty();
}

} // namespace tt
