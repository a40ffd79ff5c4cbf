#pragma once
// The names the save dialogs propose and the names they save under.

#include <string>
#include <string_view>

namespace tt {

// The sound's file with its extension replaced by the ending, in the sound's folder:
// ("/music/tune.wav", ".txt") gives "/music/tune.txt", ("/music/tune.wav", "-1bit.wav")
// "/music/tune-1bit.wav". Empty when no sound is loaded (soundPath is empty).
std::string nameBesideSound(std::string_view soundPath, std::string_view ending);

} // namespace tt
