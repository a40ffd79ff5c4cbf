// The window program's whole life as main() runs it, with the sound output on the test server:
// open a file, play it, quit. A clean run says nothing on standard error.

#include "TestSounds.h"
#include "shell/ControlIds.h"
#include "shell/ShellDriver.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <unistd.h>

namespace tt {
namespace {

    // Sends this process's standard error (fd 2, where the toolkit and the sound library write)
    // to a file while it lives.
    class StandardErrorCapture {
    public:
        StandardErrorCapture()
            : path_(::testing::TempDir() + "ticktrace-stderr.txt")
        {
            std::fflush(stderr);
            saved_ = dup(STDERR_FILENO);
            const int file = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(file, STDERR_FILENO);
            ::close(file);
        }
        ~StandardErrorCapture() { restore(); }

        std::string text()
        {
            restore();
            std::ifstream in(path_);
            return std::string(std::istreambuf_iterator<char>(in), {});
        }

    private:
        void restore()
        {
            if (saved_ >= 0) {
                std::fflush(stderr);
                dup2(saved_, STDERR_FILENO);
                ::close(saved_);
                saved_ = -1;
            }
        }

        std::string path_;
        int saved_ = -1;
    };

    TEST(Quit, AfterPlayingLeavesStandardErrorEmpty)
    {
        const std::string path = writeTempFile(makeToneImage({ { { 440, 0.3 } } }), "quit.wav");
        StandardErrorCapture errors;
        {
            testing::ShellDriver program;
            program.audio.open(); // as in main(): without a server the program runs on, silent
            program.dialogs.answers.push_back(path);
            program.input.chooseMenuItem("Open Wave…");
            ASSERT_TRUE(program.pump());
            program.input.click(control::playWave);
            ASSERT_TRUE(program.pump());
            program.input.chooseMenuItem("Quit");
            EXPECT_FALSE(program.pump());
            program.audio.close();
        }
        EXPECT_EQ(errors.text(), "");
    }

} // namespace
} // namespace tt
