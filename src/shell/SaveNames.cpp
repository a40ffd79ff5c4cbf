#include "shell/SaveNames.h"

#include "text/TextFormat.h"

namespace tt {

std::string nameBesideSound(std::string_view soundPath, std::string_view ending)
{
    if (soundPath.empty()) {
        return {};
    }
    const std::string_view extension = extensionOf(soundPath);
    const std::size_t stemEnd
        = extension.empty() ? soundPath.size() : soundPath.size() - extension.size() - 1;
    return std::string(soundPath.substr(0, stemEnd)) + std::string(ending);
}

} // namespace tt
