#include "decode/SoundFileExtensions.h"

#include <algorithm>
#include <sndfile.h>
#include <string_view>

namespace tt {
namespace {

    struct OtherNames {
        std::string_view libraryName;
        std::vector<std::string_view> others;
    };

} // namespace

std::vector<std::string> soundFileExtensions()
{
    // The library names one extension per format; files of it are also known by these.
    const OtherNames otherNames[] = {
        { "aiff", { "aif", "aifc" } },
        { "au", { "snd" } },
        { "m1a", { "mp1", "mp2", "mp3" } },
        { "oga", { "ogg", "opus" } },
    };
    std::vector<std::string> extensions;
    int formatCount = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &formatCount, sizeof formatCount);
    for (int i = 0; i < formatCount; ++i) {
        SF_FORMAT_INFO info {};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) != 0
            || info.extension == nullptr || std::string_view(info.extension) == "raw") {
            continue;
        }
        extensions.emplace_back(info.extension);
        for (const OtherNames& names : otherNames) {
            if (names.libraryName == info.extension) {
                extensions.insert(extensions.end(), names.others.begin(), names.others.end());
            }
        }
    }
    // The native loader's own, whatever the library says.
    extensions.emplace_back("wav");
    // The iterator forms: clang 14's ranges cannot take this standard library's subrange.
    std::sort(extensions.begin(), extensions.end());
    extensions.erase(std::unique(extensions.begin(), extensions.end()), extensions.end());
    return extensions;
}

} // namespace tt
