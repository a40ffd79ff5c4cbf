#pragma once
// Where a name's file really is, so that a replacement lands on the file and not on a symbolic
// link that points to it.

#include <string>

namespace tt {

// The part before the last '/': "/" for a name in the root folder, "." for a name without one.
std::string folderOf(const std::string& path);

// The part after the last '/'.
std::string nameOf(const std::string& path);

// The path reached by following `path` while its last part is a symbolic link, a relative link
// target being taken from the folder of its link. It may name a file that does not exist yet (a
// link to nothing). Gives up after as many links as the system follows and returns the last.
std::string followLinks(const std::string& path);

} // namespace tt
