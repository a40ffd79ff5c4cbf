// The window program: opens the sound output, builds the window and runs its event loop.

#include "platform/audio/AudioOutput.h"
#include "platform/toolkit/DesktopDialogs.h"
#include "platform/toolkit/GuiApplication.h"
#include "shell/Shell.h"

#include <memory>

int main(int argc, char** argv)
{
    tt::GuiApplication application(argc, argv);
    tt::AudioOutput audio;
    audio.open(); // without a sound server the program runs on, silent
    {
        tt::Shell shell(audio);
        shell.setDialogs(std::make_unique<tt::DesktopDialogs>(shell.window()));
        shell.run();
        // Sound stops before the window goes away.
        audio.close();
    }
    return 0;
}
