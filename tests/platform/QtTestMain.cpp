// Test entry for everything that needs the window toolkit running: widgets, glyphs and audio
// objects.
#include "platform/toolkit/GuiApplication.h"

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Tests never need a display; respect an explicit choice (e.g. xcb for manual runs).
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    testing::InitGoogleTest(&argc, argv);
    tt::GuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
