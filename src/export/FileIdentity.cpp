#include "export/FileIdentity.h"

#include "export/FilePath.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

namespace tt {

FileIdentity FileIdentity::of(const std::string& path)
{
    FileIdentity identity;
    struct stat file { };
    if (::stat(path.c_str(), &file) == 0) {
        if (S_ISREG(file.st_mode)) {
            identity.kind_ = Kind::RegularFile;
            identity.device_ = std::uint64_t(file.st_dev);
            identity.inode_ = std::uint64_t(file.st_ino);
        }
        return identity;
    }
    const std::string reachedPath = followLinks(path);
    const std::unique_ptr<char, decltype(&std::free)> folder(
        ::realpath(folderOf(reachedPath).c_str(), nullptr), &std::free);
    identity.kind_ = Kind::NewFile;
    if (folder) {
        identity.resolvedPath_ = std::string(folder.get()) + "/" + nameOf(reachedPath);
    } else {
        // A missing folder has no real path; its spelling, made absolute and tidied, must do.
        std::error_code ignored;
        identity.resolvedPath_
            = std::filesystem::absolute(reachedPath, ignored).lexically_normal().string();
    }
    return identity;
}

bool FileIdentity::isSameFileAs(const FileIdentity& other) const
{
    switch (kind_) {
    case Kind::RegularFile:
        return other.kind_ == Kind::RegularFile && device_ == other.device_
            && inode_ == other.inode_;
    case Kind::NewFile:
        return other.kind_ == Kind::NewFile && resolvedPath_ == other.resolvedPath_;
    case Kind::Other:
        break;
    }
    return false;
}

} // namespace tt
