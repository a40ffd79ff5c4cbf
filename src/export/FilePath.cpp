#include "export/FilePath.h"

#include <climits>
#include <unistd.h>

namespace tt {

namespace {

    constexpr int maxLinksFollowed = 40;

} // namespace

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string followLinks(const std::string& path)
{
    std::string current = path;
    std::string target(PATH_MAX, '\0');
    for (int link = 0; link < maxLinksFollowed; ++link) {
        const ssize_t sizeBytes = ::readlink(current.c_str(), target.data(), target.size());
        if (sizeBytes <= 0 || std::size_t(sizeBytes) >= target.size()) {
            break; // not a link (or none that can be followed)
        }
        const std::string next(target.data(), std::size_t(sizeBytes));
        current = next.front() == '/' ? next : folderOf(current) + "/" + next;
    }
    return current;
}

} // namespace tt
