#include "shell/Shell.h"

#include "ScriptedDialogs.h"
#include "UserInput.h"
#include "export/PlayerSourceExport.h"
#include "modulator/WholeFileConversion.h"
#include "platform/audio/AudioOutput.h"
#include "search/SearchReport.h"
#include "search/SettingsSearch.h"
#include "shell/ControlIds.h"
#include "view/ZoomView.h"
#include "wave/WaveBytes.h"

#include <Qt>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace tt {
namespace {

    using testing::ScriptedDialogs;

    class ShellTest : public ::testing::Test {
    protected:
        ShellTest()
        {
            shell.setDialogs(std::make_unique<ScriptedDialogs>(dialogs));
            shell.window().show();
            pump();
        }

        // Handles every pending event as the program's loop would; false once the loop would end.
        bool pump()
        {
            input.settle();
            Event event;
            while (shell.window().pollEvent(event)) {
                if (!shell.dispatch(event)) {
                    return false;
                }
            }
            return true;
        }

        int value(int id) { return shell.window().value(id); }
        std::string text(int id) { return shell.window().text(id); }

        // A 16-bit stereo tone of frameCount frames, written to a temporary file.
        std::string writeTone(
            const std::string& name, int frameCount, int bits = 16, int channels = 2)
        {
            testing::Bytes samples;
            for (int i = 0; i < frameCount; ++i) {
                const double level = std::sin(i * 0.05);
                for (int c = 0; c < channels; ++c) {
                    if (bits == 8) {
                        samples.push_back(std::uint8_t(128 + std::lround(level * 100)));
                    } else {
                        testing::putU16(
                            samples, std::uint16_t(std::int16_t(std::lround(level * 20000))));
                    }
                }
            }
            return files.write(name,
                testing::canonicalWave(
                    { 1, std::uint32_t(channels), 22050, std::uint32_t(bits) }, samples));
        }

        void open(const std::string& path)
        {
            dialogs.answers.push_back(path);
            input.chooseMenuItem("Open Wave");
            pump();
        }

        testing::TempFiles files;
        ScriptedDialogs::Log dialogs;
        AudioOutput audio; // never opened: every slot stays empty and silent
        Shell shell { audio };
        UserInput input { shell.window() };
    };

    TEST_F(ShellTest, StartsWithEveryControlAtItsStartValue)
    {
        EXPECT_EQ(shell.window().title(), "TICKTRACE v1.0");
        EXPECT_EQ(value(control::value1Trackbar), 3000);
        EXPECT_EQ(value(control::value1Spin), 3000);
        EXPECT_EQ(value(control::value2Trackbar), 1000);
        EXPECT_EQ(value(control::value2Spin), 1000);
        EXPECT_EQ(value(control::volumeTrackbar), 100);
        EXPECT_EQ(text(control::volumeField), "1.000000");
        EXPECT_EQ(text(control::playWave), "Play Wave");
        EXPECT_EQ(text(control::playOneBit), "Play 1Bit");
        EXPECT_EQ(text(control::stop), "STOP");
        for (int label = control::rateLabel; label <= control::samplesLabel; ++label) {
            EXPECT_EQ(text(label), "");
        }
        const Rect stop = shell.window().controlGeometry(control::stop);
        EXPECT_EQ((std::array { stop.x, stop.y, stop.width, stop.height }),
            (std::array { 390, 340, 40, 50 }));
        const Rect samples = shell.window().controlGeometry(control::samplesLabel);
        EXPECT_EQ(samples.x, 495);
        EXPECT_EQ(samples.y, 369);
        const Rect image = shell.window().controlGeometry(control::zoomImage);
        EXPECT_EQ(image.height, 300);
    }

    TEST_F(ShellTest, TrackbarsAndSpinFieldsFollowEachOtherWithoutEcho)
    {
        input.moveTrackbar(control::value1Trackbar, 4500);
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::value1Spin), 4500);

        input.typeText(control::value1Spin, "1234");
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::value1Trackbar), 1234);

        input.moveTrackbar(control::value2Trackbar, 32767);
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::value2Spin), 32767);

        input.typeText(control::value2Spin, "77");
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::value2Trackbar), 77);
        EXPECT_EQ(value(control::value2Spin), 77);
        // Typing the digit 9 works in every field (no key is taken as a shortcut).
        input.typeText(control::value2Spin, "999");
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::value2Trackbar), 999);
    }

    TEST_F(ShellTest, VolumeTextAndVolumeField)
    {
        const std::pair<int, const char*> texts[]
            = { { 0, "0.000000" }, { 100, "1.000000" }, { 250, "2.500000" }, { 400, "4.000000" } };
        for (const auto& [volume, expected] : texts) {
            input.moveTrackbar(control::volumeTrackbar, volume);
            ASSERT_TRUE(pump());
            EXPECT_EQ(text(control::volumeField), expected);
        }

        input.typeText(control::volumeField, "2.5");
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::volumeTrackbar), 250);

        input.typeText(control::volumeField, "abc");
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::volumeTrackbar), 0);
        EXPECT_EQ(text(control::volumeField), "abc");

        input.typeText(control::volumeField, "5");
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::volumeTrackbar), 400);
        EXPECT_EQ(text(control::volumeField), "5");

        input.typeText(control::volumeField, "0.99");
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::volumeTrackbar), 99);
    }

    TEST_F(ShellTest, DragInsideTheBandMovesTheCursorUntilItLeavesOrIsReleased)
    {
        input.pressLeft({ 100, 250 });
        ASSERT_TRUE(pump());
        EXPECT_TRUE(shell.state().dragActive);
        input.moveTo({ 321, 260 });
        ASSERT_TRUE(pump());
        EXPECT_EQ(shell.state().cursorX, 321);

        // Leaving the band (y = 300 is outside: both bounds exclusive) ends the drag.
        input.moveTo({ 400, 300 });
        ASSERT_TRUE(pump());
        EXPECT_FALSE(shell.state().dragActive);
        input.moveTo({ 450, 250 });
        ASSERT_TRUE(pump());
        EXPECT_EQ(shell.state().cursorX, 321);
        input.releaseLeft({ 450, 250 });
        ASSERT_TRUE(pump());

        // Releasing the button ends it too.
        input.pressLeft({ 10, 201 });
        input.moveTo({ 20, 201 });
        ASSERT_TRUE(pump());
        EXPECT_EQ(shell.state().cursorX, 20);
        input.releaseLeft({ 20, 201 });
        input.moveTo({ 30, 250 });
        ASSERT_TRUE(pump());
        EXPECT_FALSE(shell.state().dragActive);
        EXPECT_EQ(shell.state().cursorX, 20);
    }

    TEST_F(ShellTest, DragAboveTheBandNeverMovesTheCursor)
    {
        input.pressLeft({ 100, 50 });
        for (int x = 110; x < 500; x += 60) {
            input.moveTo({ x, 150 + x % 50 });
        }
        ASSERT_TRUE(pump());
        input.releaseLeft({ 480, 150 });
        ASSERT_TRUE(pump());
        EXPECT_EQ(shell.state().cursorX, 0);
    }

    TEST_F(ShellTest, QuitFromTheMenuEndsTheLoop)
    {
        input.chooseMenuItem("Quit");
        EXPECT_FALSE(pump());
    }

    TEST_F(ShellTest, QuitShortcutEndsTheLoop)
    {
        input.pressKey(Qt::Key_Q, true);
        EXPECT_FALSE(pump());
    }

    TEST_F(ShellTest, CloseBoxEndsTheLoop)
    {
        input.closeBox();
        EXPECT_FALSE(pump());
    }

    TEST_F(ShellTest, WithoutAFileThePlayButtonsAndExportDoNothing)
    {
        input.click(control::playOneBit);
        input.pressKey(Qt::Key_Space);
        input.click(control::playWave);
        input.click(control::stop);
        input.chooseMenuItem("Export Beepster");
        input.chooseMenuItem("Find Best Settings");
        ASSERT_TRUE(pump());
        EXPECT_TRUE(dialogs.questions.empty()); // not even the save dialog opened
        EXPECT_EQ(text(control::samplesLabel), "");
        EXPECT_EQ(text(control::progress), "");
        EXPECT_EQ(value(control::value2Spin), 1000);
        EXPECT_EQ(shell.redrawCount(), 0);
    }

    TEST_F(ShellTest, OpeningAFileSetsTitleLabelsAndRedraws)
    {
        open(writeTone("tune.wav", 4000));
        ASSERT_EQ(dialogs.questions.size(), 1u);
        EXPECT_EQ(dialogs.questions[0], "Open Wavefile||*.wav|*.wav");
        EXPECT_EQ(shell.window().title(), "TICKTRACE v1.0  tune.wav");
        EXPECT_EQ(text(control::rateLabel), "22050 Hz");
        EXPECT_EQ(text(control::channelsLabel), "Stereo");
        EXPECT_EQ(text(control::bitsLabel), "16 Bit/Sample");
        EXPECT_EQ(text(control::samplesLabel), "4000 Samples");
        EXPECT_EQ(shell.redrawCount(), 1);
        EXPECT_TRUE(dialogs.messages.empty());
    }

    TEST_F(ShellTest, RefusedAndUnreadableFilesLeaveTheLoadedOneInForce)
    {
        open(writeTone("first.wav", 1600, 8, 1));
        const auto text = files.write("notes.wav", testing::Bytes { 'h', 'e', 'l', 'l', 'o' });
        open(text);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0], "Error|Format not supported");
        open(files.dir().string() + "/missing.wav");
        ASSERT_EQ(dialogs.messages.size(), 2u);
        EXPECT_EQ(dialogs.messages[1], "Error|can't read File");
        EXPECT_EQ(shell.window().title(), "TICKTRACE v1.0  first.wav");
        EXPECT_EQ(this->text(control::samplesLabel), "1600 Samples");
        EXPECT_EQ(this->text(control::channelsLabel), "Mono");
        EXPECT_EQ(shell.document().header.bitsPerSample, 8);
    }

    TEST_F(ShellTest, PlayOneBitAndSpaceConvertAndShowTheError)
    {
        testing::Bytes silence(4 * 9600, 0);
        const auto path
            = files.write("silence.wav", testing::canonicalWave({ 1, 2, 44100, 16 }, silence));
        open(path);
        input.click(control::playOneBit);
        ASSERT_TRUE(pump());
        EXPECT_EQ(text(control::samplesLabel), "Error: 504");

        // The space bar converts once, even with a button focused (which must not click as well).
        open(path);
        ASSERT_EQ(text(control::samplesLabel), "9600 Samples");
        input.focus(control::playWave);
        input.pressKey(Qt::Key_Space);
        ASSERT_TRUE(pump());
        EXPECT_EQ(text(control::samplesLabel), "Error: 504");
    }

    TEST_F(ShellTest, PlayingASoundAtARateTheServerCannotPlayExplainsWhy)
    {
        struct Case {
            std::uint32_t rateHz;
            int button;
            const char* message; // "" for none
        };
        const Case cases[] = {
            { 384001, control::playWave,
                "Error|can't play this Sound: its rate of 384001 Hz is outside 1 … 384000 Hz" },
            { 2000000, control::playOneBit,
                "Error|can't play this Sound: its rate of 2000000 Hz is outside 1 … 384000 Hz" },
            // Playable rates: the slots stay empty here only because no server is open.
            { 1, control::playWave, "" },
            { 384000, control::playOneBit, "" },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.rateHz);
            dialogs.messages.clear();
            testing::Bytes samples(2 * 64, 0x40);
            open(files.write("rate.wav", testing::canonicalWave({ 1, 1, c.rateHz, 16 }, samples)));
            // The file itself loads, converts and exports as any other.
            ASSERT_EQ(text(control::rateLabel), std::to_string(c.rateHz) + " Hz");
            input.click(c.button);
            ASSERT_TRUE(pump());
            if (c.button == control::playOneBit) {
                EXPECT_EQ(text(control::samplesLabel).rfind("Error: ", 0), 0u);
            }
            if (*c.message == 0) {
                EXPECT_TRUE(dialogs.messages.empty());
            } else {
                EXPECT_EQ(dialogs.messages, std::vector<std::string> { c.message });
            }
        }
    }

    TEST_F(ShellTest, EveryMouseMoveOfADragRedrawsOnce)
    {
        open(writeTone("drag.wav", 20000));
        const int before = shell.redrawCount();
        input.pressLeft({ 100, 250 });
        ASSERT_TRUE(pump());
        for (int x = 101; x <= 110; ++x) {
            input.moveTo({ x, 250 });
            ASSERT_TRUE(pump());
        }
        EXPECT_EQ(shell.redrawCount() - before, 10);
        input.releaseLeft({ 110, 250 });
        ASSERT_TRUE(pump());
    }

    TEST_F(ShellTest, SoundMenuChoosesTheModulatorOfTheViewPlayAndExport)
    {
        EXPECT_TRUE(shell.window().menuChecked(menu::greedyModulator));
        EXPECT_FALSE(shell.window().menuChecked(menu::lookAheadModulator));
        open(writeTone("choice.wav", 16 * 300));
        const Image greedyView = shell.zoomView();
        const WaveDocument& document = shell.document();
        ModulatorSettings lookAhead;
        lookAhead.modulator = ModulatorKind::LookAhead;
        const auto sameImage = [](const Image& a, const Image& b) {
            return std::memcmp(a.pixels(), b.pixels(), 600 * 300 * 4) == 0;
        };

        const int redraws = shell.redrawCount();
        input.chooseMenuItem("Look-ahead Modulator");
        ASSERT_TRUE(pump());
        EXPECT_EQ(shell.redrawCount(), redraws + 1);
        EXPECT_FALSE(shell.window().menuChecked(menu::greedyModulator));
        Image expected(600, 300);
        redrawZoomView(
            expected, shell.overviewStrip(), document.header, document.data, lookAhead, 0);
        EXPECT_TRUE(sameImage(shell.zoomView(), expected));
        EXPECT_FALSE(sameImage(shell.zoomView(), greedyView));

        // Play 1Bit and the export convert with it too.
        std::vector<std::uint8_t> image(document.image.sampleArea().size());
        const ConversionResult result
            = convertWholeFile(document.header, document.data.bytes(), lookAhead, image);
        input.click(control::playOneBit);
        ASSERT_TRUE(pump());
        EXPECT_EQ(text(control::samplesLabel), errorLabelText(result));
        EXPECT_TRUE(std::ranges::equal(document.image.sampleArea(), image));

        struct StringSink final : TextSink {
            std::string text;
            bool write(std::string_view piece) override
            {
                text += piece;
                return true;
            }
        } expectedText;
        ConversionResult exported;
        exportPlayerSource(
            expectedText, document.header, document.data.bytes(), lookAhead, image, exported);
        const std::string target = (files.dir() / "look-ahead.txt").string();
        dialogs.answers.push_back(target);
        input.chooseMenuItem("Export Beepster");
        ASSERT_TRUE(pump());
        std::ifstream written(target, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), expectedText.text);

        input.chooseMenuItem("Greedy Modulator");
        ASSERT_TRUE(pump());
        EXPECT_FALSE(shell.window().menuChecked(menu::lookAheadModulator));
        EXPECT_EQ(shell.settings().modulator, ModulatorKind::Greedy);
        EXPECT_TRUE(sameImage(shell.zoomView(), greedyView));
    }

    TEST_F(ShellTest, ExportWritesTheChosenFileAndACancelWritesNothing)
    {
        open(writeTone("export.wav", 16 * 40));
        dialogs.answers.push_back(""); // cancelled
        input.chooseMenuItem("Export Beepster");
        ASSERT_TRUE(pump());
        EXPECT_EQ(text(control::samplesLabel), "640 Samples"); // no pass ran

        const std::string target = (files.dir() / "tune").string();
        dialogs.answers.push_back(target);
        input.chooseMenuItem("Export Beepster");
        ASSERT_TRUE(pump());
        EXPECT_EQ(dialogs.questions.back(), "Save 1Bit||*.txt|*.txt");
        EXPECT_TRUE(std::filesystem::exists(target + ".txt"));
        EXPECT_EQ(std::filesystem::file_size(target + ".txt") > 0, true);
        EXPECT_EQ(text(control::samplesLabel).rfind("Error: ", 0), 0u);
        EXPECT_LT(value(control::progress), 1); // back to empty after the export

        dialogs.answers.push_back((files.dir() / "no-such-folder" / "x.txt").string());
        input.chooseMenuItem("Export Beepster");
        ASSERT_TRUE(pump());
        ASSERT_FALSE(dialogs.messages.empty());
        EXPECT_EQ(dialogs.messages.back(), "Error|can't create File");
    }

    TEST_F(ShellTest, ExportNeverReplacesTheLoadedSound)
    {
        namespace fs = std::filesystem;
        const std::string wav = writeTone("loaded.wav", 16 * 40);
        fs::create_symlink(wav, files.dir() / "alias.wav");
        fs::create_hard_link(wav, files.dir() / "hard.wav");
        open(wav);
        const auto sizeBytes = fs::file_size(wav);
        for (const fs::path& chosen : { fs::path(wav), files.dir() / "." / "loaded.wav",
                 files.dir() / "alias.wav", files.dir() / "hard.wav" }) {
            SCOPED_TRACE(chosen);
            dialogs.answers.push_back(chosen.string());
            input.chooseMenuItem("Export Beepster");
            ASSERT_TRUE(pump());
            ASSERT_FALSE(dialogs.messages.empty());
            EXPECT_EQ(dialogs.messages.back(), "Error|can't create File");
            dialogs.messages.clear();
        }
        EXPECT_EQ(fs::file_size(wav), sizeBytes);
        EXPECT_TRUE(fs::is_symlink(files.dir() / "alias.wav"));
        EXPECT_EQ(text(control::samplesLabel), "640 Samples"); // no pass ran
    }

    TEST_F(ShellTest, CtrlBFindsTheBestSettingsSetsThePairedControlsAndTellsTheSnr)
    {
        // An 8-bit tone: the default step drives the pin from limit to limit.
        open(writeTone("tone8.wav", 12000, 8, 1));
        input.moveTrackbar(control::value1Trackbar, 2500);
        ASSERT_TRUE(pump());
        const int redraws = shell.redrawCount();
        const ModulatorSettings start { 2500, 1000, 100 };
        const SearchResult expected
            = findBestSettings(shell.document().header, shell.document().data.bytes(), start);
        ASSERT_LT(expected.value2, 100);
        ASSERT_GT(expected.snrDb, expected.startSnrDb + 10.0);

        input.pressKey(Qt::Key_B, true);
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::value1Trackbar), expected.value1);
        EXPECT_EQ(value(control::value1Spin), expected.value1);
        EXPECT_EQ(value(control::value2Trackbar), expected.value2);
        EXPECT_EQ(value(control::value2Spin), expected.value2);
        EXPECT_EQ(shell.redrawCount(), redraws + 1);
        EXPECT_EQ(text(control::progress), searchSummaryText(expected));
        EXPECT_EQ(shell.window().toolTip(control::infoBox), searchReportText(expected, start));
        EXPECT_LT(value(control::progress), 1);
        const Rect box = shell.window().controlGeometry(control::infoBox);
        EXPECT_EQ((std::array { box.x, box.y, box.width, box.height }),
            (std::array { 490, 310, 100, 80 }));

        // A new file clears the message.
        open(writeTone("tone16.wav", 4000));
        EXPECT_EQ(text(control::progress), "");
        EXPECT_EQ(shell.window().toolTip(control::infoBox), "");
    }

    TEST_F(ShellTest, EscapeCancelsTheSearchAndTheControlsStayAsTheyWere)
    {
        open(writeTone("tone8.wav", 12000, 8, 1));
        input.typeText(control::value1Spin, "4444");
        ASSERT_TRUE(pump());
        const int redraws = shell.redrawCount();
        // Escape is already waiting when the search first looks at the window.
        input.pressKey(Qt::Key_B, true);
        input.pressKey(Qt::Key_Escape);
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::value1Trackbar), 4444);
        EXPECT_EQ(value(control::value1Spin), 4444);
        EXPECT_EQ(value(control::value2Trackbar), 1000);
        EXPECT_EQ(value(control::value2Spin), 1000);
        EXPECT_EQ(shell.redrawCount(), redraws);
        EXPECT_EQ(text(control::progress), "Search cancelled");

        // The window takes input again.
        input.moveTrackbar(control::value2Trackbar, 77);
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::value2Spin), 77);
    }

} // namespace
} // namespace tt
