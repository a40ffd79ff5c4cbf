#pragma once
// The program's single fixed-size main window: controls addressed by small integer ids, one
// menu, and a blocking wait that returns one user event at a time.
//
// Changes the program makes (setValue, setText) raise no events, so paired controls can follow
// each other without echo. Control ids are chosen by the program; -1 marks a control that is
// never addressed again.

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
    // The number of a separator line between items.
    static constexpr int separator = -2;

    int number = 0;
    std::string text; // "&" marks the mnemonic letter
    std::string shortcut; // e.g. "Ctrl+O"; empty for none
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
    void addTextField(int id, Rect geometry);
    // Values set beyond the range are clamped.
    void addTrackbar(int id, Rect geometry, int minimum, int maximum);
    // Reads the typed integer while it is within the range, else keeps the last valid value.
    void addSpinField(int id, Rect geometry, int minimum, int maximum);
    void addProgressBar(int id, Rect geometry, int minimum, int maximum);
    // Controls added between begin and end sit inside a sunken box, positioned relative to it.
    void beginContainer(Rect geometry, int id = unaddressed);
    void endContainer();
    // Shows the image from its top-left and takes its size. The image must outlive the control
    // or be replaced with showImage first. It takes the focus on a click and with Tab.
    void addImageControl(int id, Rect geometry, const Image& image);

    // Menus appear in the menu bar in the order they are added.
    void addMenu(std::string_view title, const std::vector<MenuItem>& items);

    // The text shown while the pointer rests on the control (on a container: on any of its
    // controls that has none of its own). A label whose text is cut shows its whole text too.
    void setToolTip(int id, std::string_view text);

    // From now on, dropping exactly one local file whose name ends in the extension (".wav",
    // any case) on the window gives a Drop event.
    void acceptDroppedFiles(std::string_view extension);

    // Tick events every interval from now on; zero stops them.
    void tickEvery(std::chrono::milliseconds interval);
    bool ticking() const;

    int value(int id) const;
    void setValue(int id, int value); // a progress bar shows the new value at once
    std::string text(int id) const;
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
