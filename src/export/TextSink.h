#pragma once

#include <string_view>

namespace tt {

// Where finished export text goes, in large pieces (tens of kilobytes), never line by line.
class TextSink {
public:
    virtual ~TextSink() = default;

    // Appends all of `text`; false when it could not be written completely.
    virtual bool write(std::string_view text) = 0;
};

} // namespace tt
