#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace tt::testing {

// The bits of a player source text's data words in frame order. A word's line holds frames
// 9-16 first, then frames 1-8, each byte with its earliest frame first.
inline std::vector<bool> bitsOfText(const std::string& text)
{
    std::vector<bool> bits;
    std::istringstream lines(text);
    const std::string prefix = ".dw 0b";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) != 0) {
            continue;
        }
        const std::string digits = line.substr(prefix.size(), 16);
        for (const std::size_t first : { std::size_t(8), std::size_t(0) }) {
            for (std::size_t d = first; d < first + 8 && d < digits.size(); ++d) {
                bits.push_back(digits[d] == '1');
            }
        }
    }
    return bits;
}

} // namespace tt::testing
