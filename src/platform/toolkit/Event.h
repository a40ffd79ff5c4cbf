#pragma once

#include "platform/toolkit/Geometry.h"

#include <string>

namespace tt {

// One thing the user did, as the window's event wait returns it.
struct Event {
    enum class Kind {
        Close, // the close box of the window
        Control, // a user change or click on a control: id, type (image presses: pointer too)
        Menu, // a menu item or its shortcut: id is the item's number
        MouseMove, // the pointer moved over the window or any of its controls: pointer
        LeftButtonUp, // the left mouse button was released: pointer
        KeyDown, // a key went down in the window or a control: key, id of the focused control
        Tick, // the window's timer, while it ticks (at most one waits in the queue)
        Drop, // files were dropped on the window: type, path
    };

    // Control event types of the image control.
    static constexpr int imageLeftPress = 0;
    static constexpr int imageOtherPress = 1;
    // Control event types of a text field: the user changed the text, or ended editing it
    // (Return, Enter, or the focus left it).
    static constexpr int fieldEdited = 0;
    static constexpr int fieldFinished = 1;
    // Drop event types: one file the window takes (path), or files it does not take (path
    // names them, one a line): several files, or one without an extension it takes.
    static constexpr int dropTaken = 0;
    static constexpr int dropRefused = 1;

    // Key codes used by the program; any other key is keyOther.
    static constexpr int keyOther = 0;
    static constexpr int keySpace = 0x20;
    static constexpr int keyEscape = 0x1b;
    static constexpr int keyLeft = 0x100;
    static constexpr int keyRight = 0x101;
    static constexpr int keyPageUp = 0x102;
    static constexpr int keyPageDown = 0x103;
    static constexpr int keyHome = 0x104;
    static constexpr int keyEnd = 0x105;

    Kind kind = Kind::Close;
    int id = 0;
    int type = 0;
    int key = 0;
    // Relative to the area below the menu bar; during a drag it may lie outside the window.
    Point pointer;
    bool shift = false; // an image press with Shift held
    std::string path;
};

} // namespace tt
