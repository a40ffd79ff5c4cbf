#pragma once

#include <cstdint>
#include <string>

namespace tt {

// What makes two names one file, so that no output replaces the input or another output under a
// different spelling, a link or a second hard link. Taken when it is made; the file system may
// change afterwards.
class FileIdentity {
public:
    // An existing regular file is known by its device and inode. A name that leads to no file
    // yet is known by its resolved folder (links and "." or ".." taken out) and its name there,
    // after following any symbolic link it is. Anything else (a folder, a device, a pipe) is
    // known as nothing in particular.
    static FileIdentity of(const std::string& path);

    // True when both are the same existing regular file, or the same file yet to be created.
    // Devices and pipes are never the same as anything: writing one twice replaces no file.
    bool isSameFileAs(const FileIdentity& other) const;

private:
    enum class Kind { Other, RegularFile, NewFile };

    Kind kind_ = Kind::Other;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    std::string resolvedPath_; // NewFile only
};

} // namespace tt
