#include "shell/SaveNames.h"

#include "text/TextFormat.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

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

bool folderTakesNewFiles(const std::string& folder)
{
    // A nameless file leaves nothing behind; where the file system has none, a named one is
    // made and removed again.
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR) {
        return false;
    }
    std::string name = folder + "/.ticktrace-probe-XXXXXX";
    const int named = ::mkstemp(name.data());
    if (named < 0) {
        return false;
    }
    ::close(named);
    ::unlink(name.c_str());
    return true;
}

std::string proposedSaveName(
    std::string_view soundPath, std::string_view ending, std::string_view homeFolder)
{
    const std::string beside = nameBesideSound(soundPath, ending);
    if (beside.empty() || homeFolder.empty()) {
        return beside;
    }
    const std::filesystem::path path(beside);
    if (folderTakesNewFiles(path.parent_path().string())) {
        return beside;
    }
    return (std::filesystem::path(homeFolder) / path.filename()).string();
}

} // namespace tt
