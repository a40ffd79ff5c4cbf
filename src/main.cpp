// The window program: opens the sound output, builds the window, opens the sound named on the
// command line (ticktrace [FILE], any sound file it opens) and runs the event loop.

#include "platform/audio/AudioOutput.h"
#include "platform/toolkit/DesktopDialogs.h"
#include "platform/toolkit/GuiApplication.h"
#include "shell/Shell.h"

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    // The toolkit takes its own options (-platform, -style, ...) out of argc and argv.
    tt::GuiApplication application(argc, argv);
    if (argc > 2) {
        std::fprintf(stderr, "usage: ticktrace [FILE]\n");
        return 2;
    }
    tt::AudioOutput audio;
    audio.open(); // without a sound server the program runs on, silent
    {
        tt::Shell shell(audio);
        shell.setDialogs(std::make_unique<tt::DesktopDialogs>(shell.window()));
        if (argc == 2) {
            // Shown first, so that a refusal's message has the window to stand on.
            shell.window().show();
            shell.openFile(argv[1]);
        }
        shell.run();
        // Sound stops before the window goes away.
        audio.close();
    }
    return 0;
}
