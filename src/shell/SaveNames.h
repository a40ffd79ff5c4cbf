#pragma once
// The names the save dialogs propose and the names they save under.

#include <string>
#include <string_view>

namespace tt {

// The sound's file with its extension replaced by the ending, in the sound's folder:
// ("/music/tune.wav", ".txt") gives "/music/tune.txt", ("/music/tune.wav", "-1bit.wav")
// "/music/tune-1bit.wav". Empty when no sound is loaded (soundPath is empty).
std::string nameBesideSound(std::string_view soundPath, std::string_view ending);

// True when a new file can be made in the folder: tried, not guessed from permissions (which
// say nothing of a read-only mount, nor of root).
bool folderTakesNewFiles(const std::string& folder);

// The save dialog's proposal: nameBesideSound, or the same name in homeFolder when the sound's
// folder takes no new file (a system sound folder, a read-only medium).
std::string proposedSaveName(
    std::string_view soundPath, std::string_view ending, std::string_view homeFolder);

} // namespace tt
