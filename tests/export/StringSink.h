#pragma once

#include "export/TextSink.h"

#include <string>
#include <string_view>

namespace tt::testing {

// Keeps all the text it is given.
struct StringSink final : TextSink {
    std::string text;
    bool write(std::string_view piece) override
    {
        text += piece;
        return true;
    }
};

} // namespace tt::testing
