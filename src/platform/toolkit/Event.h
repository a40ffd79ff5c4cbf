#pragma once

namespace tt {

// One thing the user did, as the window's event wait returns it.
struct Event {
    enum class Kind {
        Close, // the close box of the window
        Control, // a user change or click on a control: id, type
        Menu, // a menu item or its shortcut: id is the item's number
        MouseMove, // the pointer moved over the window or any of its controls
        LeftButtonUp, // the left mouse button was released
        KeyDown, // a key went down in the window or a control: key
    };

    // Control event types of the image control.
    static constexpr int imageLeftPress = 0;
    static constexpr int imageOtherPress = 1;

    // Key codes used by the program.
    static constexpr int keySpace = 0x20;
    static constexpr int keyEscape = 0x01000000;

    Kind kind = Kind::Close;
    int id = 0;
    int type = 0;
    int key = 0;
};

} // namespace tt
