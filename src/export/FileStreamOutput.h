#pragma once

#include "export/TextSink.h"

#include <cstdio>

namespace tt {

// Text into a stream the caller opened and will close, such as standard output.
class FileStreamOutput final : public TextSink {
public:
    explicit FileStreamOutput(std::FILE* stream)
        : stream_(stream)
    {
    }

    bool write(std::string_view text) override
    {
        return std::fwrite(text.data(), 1, text.size(), stream_) == text.size();
    }

    // Pushes the stream's own buffer out; false when that or an earlier write failed.
    bool flush() override { return std::fflush(stream_) == 0 && std::ferror(stream_) == 0; }

private:
    std::FILE* stream_ = nullptr;
};

} // namespace tt
