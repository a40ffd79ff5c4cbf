#pragma once
// The program's single fixed-size main window: controls addressed by small integer ids, a menu
// bar whose items are addressed by their numbers, and a blocking wait that returns one user
// event at a time.
//
// Changes the program makes (setValue, setText) raise no events, so paired controls can follow
// each other without echo. Control ids are chosen by the program; -1 marks a control that is
// never addressed again.
//
// Addressing a control or menu item that does not exist, or asking a control for a value, text
// or image it does not have, is a mistake in the program: it is told on standard error and the
// program aborts, in release builds too, rather than go on with a made-up 0 or "".

#include "platform/toolkit/Event.h"
#include "platform/toolkit/Geometry.h"

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tt {

class Image;

struct MenuItem {
    // A plain item acts when chosen. A choice item shows a check mark, and the choice items of
    // one menu exclude each other: choosing one checks it and clears the others. A toggle item's
    // check mark turns on and off by itself. Every kind raises a Menu event with its number when
    // chosen.
    enum class Kind { Plain, Choice, Toggle };

    // The number of a separator line between items.
    static constexpr int separator = -2;

    int number = 0;
    std::string text; // "&" marks the mnemonic letter
    std::string shortcut; // e.g. "Ctrl+O"; empty for none
    Kind kind = Kind::Plain;
    bool checked = false; // a choice item's check mark at the start
};

class Window {
public:
    static constexpr int unaddressed = -1;

    // A window whose inner area, menu bar included, is innerWidth x innerHeight pixels.
    // Control geometry is measured from the top-left of the area below the menu bar.
    Window(std::string_view title, int innerWidth, int innerHeight);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void setTitle(std::string_view title);
    std::string title() const;

    void addLabel(int id, Rect geometry, std::string_view text);
    void addButton(int id, Rect geometry, std::string_view text);
    // Raises Control events of type Event::fieldEdited as the user types, and fieldFinished when
    // editing ends.
    void addTextField(int id, Rect geometry);
    // Values set beyond the range are clamped.
    void addTrackbar(int id, Rect geometry, int minimum, int maximum);
    // Reads the typed integer while it is within the range, else keeps the last valid value.
    void addSpinField(int id, Rect geometry, int minimum, int maximum);
    // The bar can also show a one-line message over itself (setText), empty at first.
    void addProgressBar(int id, Rect geometry, int minimum, int maximum);
    // Controls added between begin and end sit inside a sunken box, positioned relative to it.
    // The box itself may have an id, for its tool tip.
    void beginContainer(Rect geometry, int id = unaddressed);
    void endContainer();
    // Shows the image from its top-left and takes its size. The image must outlive the control
    // or be replaced with showImage first. It takes the focus on a click and with Tab.
    void addImageControl(int id, Rect geometry, const Image& image);

    // Menus appear in the menu bar in the order they are added.
    void addMenu(std::string_view title, const std::vector<MenuItem>& items);
    // The check mark of a menu item by its number: false for a plain item. Checking a choice item
    // clears the others of its menu; like every program change it raises no event.
    bool menuChecked(int number) const;
    void setMenuChecked(int number, bool checked);

    // The text shown while the pointer rests on the control (on a container: on any of its
    // controls that has none of its own); an empty text removes it. A label whose text is cut
    // shows its whole text too.
    void setToolTip(int id, std::string_view text);
    // What the pointer resting on the control shows.
    std::string toolTip(int id) const;

    // From now on, local files dropped on the window give a Drop event: taken for exactly one
    // file whose name ends in one of the extensions (".wav", ".flac", ..., any case), refused for
    // any other drop of local files, so that the program can tell why.
    void acceptDroppedFiles(const std::vector<std::string>& extensions);

    // Tick events every interval from now on; zero stops them.
    void tickEvery(std::chrono::milliseconds interval);
    bool ticking() const;

    // Trackbars, spin fields and progress bars have a value.
    int value(int id) const;
    void setValue(int id, int value); // a progress bar shows the new value at once
    // Labels, fields, buttons and progress bars have a text, and so do spin fields to read.
    std::string text(int id) const;
    // Labels, fields and buttons show the text; a progress bar shows it as its message.
    void setText(int id, std::string_view text);
    // Assigns the image again; the control repaints at once.
    void showImage(int id, const Image& image);
    // Repaints only this part of an image control's image, which changed in place.
    void repaintImage(int id, Rect area);
    // Geometry of a control relative to the window's area below the menu bar.
    Rect controlGeometry(int id) const;

    // Shows the window centred on the screen.
    void show();

    // Blocks until the user does something and returns that one event.
    Event waitEvent();
    // Returns a queued event if there is one, after handling what the desktop has pending.
    bool pollEvent(Event& event);

    // While busy, the window drops every input of the user before any control sees it (clicks,
    // keys, the wheel, menu shortcuts, the close box) and reports only presses of Escape, so a
    // long task that polls events can be cancelled while the window stays painted. The pointer
    // shows that the window is busy.
    void setBusy(bool busy);

    // Pointer position in the area below the menu bar; (-1, -1) outside it.
    Point pointer() const;
    bool leftButtonDown() const;

    // The toolkit objects behind the window and a control, for the platform layer only
    // (dialog parents, test drivers).
    void* nativeHandle() const;
    void* nativeControl(int id) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace tt
