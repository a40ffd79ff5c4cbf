#pragma once
// Drives a tt::Window the way a user would, through real toolkit events, so tests exercise the
// same paths as clicks and key presses. For tests only.

#include "platform/toolkit/Geometry.h"

#include <string>
#include <string_view>
#include <vector>

namespace tt {

class Window;

class UserInput {
public:
    explicit UserInput(Window& window);

    void moveTrackbar(int id, int value);
    // Replaces the field's contents by typing the text key by key.
    void typeText(int id, std::string_view text);
    void click(int id);
    void focus(int id);
    // A key press and release delivered to the window (and from there to the focused control).
    void pressKey(int qtKey, bool control = false);
    void pressKeyWith(int qtKey, int qtModifiers);
    // Chooses the menu item with this text (without its mnemonic marks), as a click in the open
    // menu would.
    void chooseMenuItem(std::string_view text);
    void closeBox();

    // Pointer actions at positions in the area below the menu bar.
    void pressLeft(Point at, bool shift = false);
    void moveTo(Point at);
    void releaseLeft(Point at);

    // Drags the files from another program and drops them at the position; true when the window
    // took the drop.
    bool dropFile(const std::string& path, Point at);
    bool dropFiles(const std::vector<std::string>& paths, Point at);

    // Lets the toolkit deliver what is pending.
    void settle();

private:
    Window& window_;
};

} // namespace tt
