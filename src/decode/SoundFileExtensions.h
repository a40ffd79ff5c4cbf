#pragma once

#include <string>
#include <vector>

namespace tt {

// The file name extensions of the sound files the program opens, lower case without their dot,
// sorted: those the decoder library names for its formats and the other names the same files go
// by ("aif", "ogg", "opus", "mp3", ...). Header-less raw sound, which cannot be opened without
// being told its format, is not among them.
std::vector<std::string> soundFileExtensions();

} // namespace tt
