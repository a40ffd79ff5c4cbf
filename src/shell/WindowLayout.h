#pragma once

#include "text/Version.h"
#include "view/ZoomLayout.h"

#include <string_view>

namespace tt {

class Image;
class Window;

inline constexpr std::string_view programTitle = "TICKTRACE v" TICKTRACE_VERSION;
inline constexpr int windowInnerWidth = ZoomLayout::widthPx;
inline constexpr int windowInnerHeight = 420; // menu bar included

// Creates every control of the main window in its start-up order, with its start value, and the
// menu. The zoom image is shown by the image control.
void buildMainWindow(Window& window, const Image& zoomView);

// What the window adds for the desktop, after every other control and menu: tool tips of the
// setting controls, file drops and the Help menu (which stays last).
void addDesktopIntegration(Window& window);

} // namespace tt
