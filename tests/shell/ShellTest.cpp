#include "shell/Shell.h"

#include "ShellDriver.h"
#include "convert/ConvertProcess.h"
#include "decode/EncodedSound.h"
#include "decode/SoundLoader.h"
#include "export/PlayerSourceExport.h"
#include "export/StringSink.h"
#include "modulator/AudibleSnr.h"
#include "modulator/VolumeText.h"
#include "modulator/WholeFileConversion.h"
#include "platform/audio/AudioOutput.h"
#include "search/SearchReport.h"
#include "search/SettingsSearch.h"
#include "shell/ControlIds.h"
#include "shell/ProgramTexts.h"
#include "shell/SaveNames.h"
#include "view/ZoomView.h"
#include "wave/FrameCount.h"
#include "wave/WaveBytes.h"
#include "wave/WaveImage.h"
#include "wave/WaveLoader.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <Qt>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <set>

namespace tt {
namespace {

    // The audio output is never opened: every slot stays empty and silent.
    class ShellTest : public ::testing::Test, protected testing::ShellDriver {
    protected:
        ShellTest() { pump(); }

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
            input.chooseMenuItem("Open Wave…");
            pump();
        }

        testing::TempFiles files;
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

        // A Volume applies as it is typed; once the user is done (Return), the field shows the
        // Volume in force, and text that was none is told and changes nothing.
        struct Typed {
            const char* text;
            int volume; // applied afterwards
            bool told;
        };
        const Typed typed[] = { { "2.5", 250, false }, { "abc", 250, true }, { "9", 250, true },
            { "1,5", 250, true }, { "4", 400, false }, { "4.01", 400, true },
            { " .99 ", 99, false }, { "-1", 99, true }, { "0", 0, false } };
        for (const Typed& t : typed) {
            SCOPED_TRACE(t.text);
            dialogs.messages.clear();
            input.typeText(control::volumeField, t.text);
            ASSERT_TRUE(pump());
            EXPECT_EQ(value(control::volumeTrackbar), t.volume);
            input.pressKey(Qt::Key_Return);
            ASSERT_TRUE(pump());
            EXPECT_EQ(value(control::volumeTrackbar), t.volume);
            EXPECT_EQ(text(control::volumeField), volumeText(t.volume));
            EXPECT_EQ(dialogs.messages,
                t.told ? std::vector<std::string> { "Error|Volume not changed" }
                       : std::vector<std::string> {});
        }
    }

    // With 4800 frames every pointer column is 8 frames: column x places the view at
    // (x + 1) * 8 - 16.
    TEST_F(ShellTest, PointerPlacesTheViewOnAClickInTheBandAndWhileDraggingFromThere)
    {
        open(writeTone("drag.wav", 4800));
        enum class Act { Press, Move, Release };
        struct Step {
            Act act;
            Point at;
            std::int64_t viewStart;
        };
        const Step steps[] = {
            { Act::Press, { 100, 250 }, 792 }, // a click in the band moves the view there
            { Act::Move, { 321, 260 }, 2560 },
            { Act::Move, { 400, 300 }, 3192 }, // out of the band (both bounds exclusive)
            { Act::Move, { 700, 150 }, 4784 }, // out of the window: the band's right end
            { Act::Move, { -50, 500 }, 0 }, // and its left end
            { Act::Move, { 30, 30 }, 232 },
            { Act::Release, { 30, 30 }, 232 },
            { Act::Move, { 450, 250 }, 232 }, // no button held
            { Act::Press, { 10, 100 }, 232 }, // a press in the plot waits for the band
            { Act::Move, { 200, 150 }, 232 },
            { Act::Move, { 200, 250 }, 1592 },
            { Act::Move, { 300, 100 }, 2392 }, // then follows wherever the pointer goes
            { Act::Release, { 300, 100 }, 2392 },
        };
        for (const Step& step : steps) {
            switch (step.act) {
            case Act::Press:
                input.pressLeft(step.at);
                break;
            case Act::Move:
                input.moveTo(step.at);
                break;
            case Act::Release:
                input.releaseLeft(step.at);
                break;
            }
            ASSERT_TRUE(pump());
            EXPECT_EQ(shell.state().viewStart, step.viewStart) << step.at.x << "," << step.at.y;
        }
        EXPECT_FALSE(shell.state().dragActive);
    }

    // A new sound's view comes from the cursor's column: where the pointer left it, or after a
    // key move the column of the view's marker; 0 at the start.
    TEST_F(ShellTest, ANewSoundIsViewedFromTheCursorColumn)
    {
        struct Case {
            const char* before; // what the user did on a 4800-frame sound first
            int pointerX; // a click in the band there, or -1
            int key; // a key pressed with the plot focused, or 0
            int frames; // of the sound opened next
            std::int64_t viewStart;
        };
        const Case cases[] = {
            { "nothing", -1, 0, 58160, 80 }, // cursor frame 97, aligned 96, 16 pre-roll frames
            { "nothing", -1, 0, 9600, 0 },
            { "nothing", -1, 0, 31, 0 },
            { "click at 299", 299, 0, 600000, 299984 },
            { "click at 599", 599, 0, 600000, 599984 },
            { "click at 599", 599, 0, 39, 16 },
            { "drag past the end", 700, 0, 58160, 58144 },
            { "End: marker at 598", -1, Qt::Key_End, 58160, 58040 },
            { "Home: marker at 0", -1, Qt::Key_Home, 58160, 80 },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.before) + ", then " + std::to_string(c.frames) + " frames");
            open(writeTone("first.wav", 4800, 8, 1));
            if (c.pointerX >= 0) {
                const int inWindow = std::min(c.pointerX, 599);
                input.pressLeft({ inWindow, 250 });
                input.moveTo({ c.pointerX, 250 });
                input.releaseLeft({ inWindow, 250 });
            }
            if (c.key != 0) {
                input.pressLeft({ 300, 100 }); // the plot takes the focus
                input.releaseLeft({ 300, 100 });
                input.pressKey(c.key);
            }
            ASSERT_TRUE(pump());
            open(writeTone("next.wav", c.frames, 8, 1));
            EXPECT_EQ(shell.state().viewStart, c.viewStart);
            Image expected(600, 300);
            const WaveDocument& document = shell.document();
            redrawZoomView(expected, shell.overviewStrip(), document.header, document.data,
                shell.settings(), c.viewStart);
            EXPECT_EQ(std::memcmp(shell.zoomView().pixels(), expected.pixels(), 600 * 300 * 4), 0);
            // Back to column 0 for the next case.
            input.pressLeft({ 0, 250 });
            input.releaseLeft({ 0, 250 });
            ASSERT_TRUE(pump());
        }
    }

    TEST_F(ShellTest, DragAboveTheBandNeverMovesTheCursor)
    {
        open(writeTone("plot.wav", 4800));
        input.pressLeft({ 100, 50 });
        for (int x = 110; x < 500; x += 60) {
            input.moveTo({ x, 150 + x % 50 });
        }
        ASSERT_TRUE(pump());
        input.releaseLeft({ 480, 150 });
        ASSERT_TRUE(pump());
        EXPECT_EQ(shell.state().viewStart, 0);
    }

    TEST_F(ShellTest, KeysMoveTheViewByFramesWhileTheImageHasTheFocus)
    {
        open(writeTone("keys.wav", 4800));
        input.pressLeft({ 300, 100 }); // a click in the plot gives the focus, moves nothing
        input.releaseLeft({ 300, 100 });
        ASSERT_TRUE(pump());
        const std::pair<int, std::int64_t> keys[] = { { Qt::Key_Right, 8 }, { Qt::Key_Right, 16 },
            { Qt::Key_PageDown, 56 }, { Qt::Key_Left, 48 }, { Qt::Key_PageUp, 8 },
            { Qt::Key_PageUp, 0 }, { Qt::Key_Left, 0 }, { Qt::Key_End, 4784 },
            { Qt::Key_PageDown, 4784 }, { Qt::Key_Left, 4776 }, { Qt::Key_Home, 0 } };
        for (const auto& [key, viewStart] : keys) {
            input.pressKey(key);
            ASSERT_TRUE(pump());
            EXPECT_EQ(shell.state().viewStart, viewStart) << key;
        }
        input.pressKey(Qt::Key_End);
        ASSERT_TRUE(pump());
        // The red marker shows the view's first frame: 4784 * 600 / 4800 - 1 = 597.
        EXPECT_EQ(shell.zoomView().pixel(598, 250), (Rgb { 255, 0, 0 }));
        EXPECT_NE(shell.zoomView().pixel(590, 250), (Rgb { 255, 0, 0 }));

        // In a number field the keys edit the number.
        input.focus(control::value1Spin);
        for (const int key : { Qt::Key_Home, Qt::Key_Left, Qt::Key_PageUp }) {
            input.pressKey(key);
        }
        ASSERT_TRUE(pump());
        EXPECT_EQ(shell.state().viewStart, 4784);
    }

    TEST_F(ShellTest, MenusHaveMnemonicsAndDialogEllipsesAndHelpComesLast)
    {
        auto& main = *static_cast<QMainWindow*>(shell.window().nativeHandle());
        std::vector<std::string> menus;
        for (const QAction* title : main.menuBar()->actions()) {
            menus.push_back(title->text().toStdString());
            std::set<QChar> mnemonics; // each letter leads to one item of the menu
            for (const QAction* item : title->menu()->actions()) {
                menus.push_back(item->isSeparator() ? "-" : "  " + item->text().toStdString());
                const QString text = item->text();
                const auto at = text.indexOf('&');
                if (!item->isSeparator()) {
                    ASSERT_GE(at, 0) << text.toStdString() << " has no mnemonic";
                    EXPECT_TRUE(mnemonics.insert(text[at + 1].toLower()).second)
                        << text.toStdString() << " repeats a mnemonic";
                }
            }
        }
        EXPECT_EQ(menus.front(), "&File");
        EXPECT_EQ(std::vector<std::string>(menus.begin(), menus.begin() + 7),
            (std::vector<std::string> { "&File", "  &Open Wave…", "  &Export Beepster…",
                "  &Save 1Bit Sound…", "  Export &Label Prefix…", "-", "  &Quit" }));
        EXPECT_EQ(std::vector<std::string>(menus.end() - 2, menus.end()),
            (std::vector<std::string> { "&Help", "  &About TICKTRACE…" }));

        input.pressKeyWith(Qt::Key_F, Qt::AltModifier);
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(popup, nullptr) << "Alt+F opened no menu";
        EXPECT_EQ(popup->title().toStdString(), "&File");
        popup->close();

        input.chooseMenuItem("About TICKTRACE…");
        ASSERT_TRUE(pump());
        ASSERT_EQ(dialogs.abouts.size(), 1u);
        EXPECT_NE(dialogs.abouts[0].find("TICKTRACE v1.0"), std::string::npos);
        EXPECT_NE(dialogs.abouts[0].find("MIT License"), std::string::npos);
    }

    TEST_F(ShellTest, QuitCtrlQAndTheCloseBoxEachEndTheLoop)
    {
        const std::function<void()> ends[] = {
            [&] { input.chooseMenuItem("Quit"); },
            [&] { input.pressKey(Qt::Key_Q, true); },
            [&] { input.closeBox(); },
        };
        for (const auto& end : ends) {
            end();
            EXPECT_FALSE(pump());
        }
    }

    // Keeps every Ctrl+letter for the control it watches, as a text field does with the key
    // bindings of some desktops (Ctrl+E: to the line's end). The offscreen platform binds none.
    class ClaimsControlKeys : public QObject {
    protected:
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::ShortcutOverride
                && static_cast<QKeyEvent*>(event)->modifiers() == Qt::ControlModifier) {
                event->accept();
                return true;
            }
            return false;
        }
    };

    TEST_F(ShellTest, EveryMenuShortcutWorksWhateverControlHasTheFocus)
    {
        const std::string path = writeTone("keys.wav", 1600, 8, 1);
        ClaimsControlKeys claims;
        for (const int field : { control::value1Spin, control::value2Spin, control::volumeField }) {
            static_cast<QObject*>(shell.window().nativeControl(field))->installEventFilter(&claims);
        }
        const int controls[] = { control::value1Spin, control::value2Spin, control::volumeField,
            control::value1Trackbar, control::playWave, control::zoomImage };
        for (const int id : controls) {
            SCOPED_TRACE(id);
            open(path); // clears the search's message
            // Each file dialog is cancelled.
            for (const auto& [key, title] :
                { std::pair { Qt::Key_O, "Open Wavefile|" }, std::pair { Qt::Key_E, "Save 1Bit|" },
                    std::pair { Qt::Key_S, "Save 1Bit Sound|" } }) {
                dialogs.questions.clear();
                input.focus(id);
                input.pressKey(key, true);
                ASSERT_TRUE(pump());
                ASSERT_EQ(dialogs.questions.size(), 1u) << title;
                EXPECT_TRUE(dialogs.questions[0].starts_with(title)) << dialogs.questions[0];
            }
            input.focus(id);
            input.pressKey(Qt::Key_B, true);
            ASSERT_TRUE(pump());
            EXPECT_TRUE(text(control::progress).starts_with("Audible SNR "))
                << text(control::progress);
            input.focus(id);
            input.pressKey(Qt::Key_Q, true);
            EXPECT_FALSE(pump());
        }
        EXPECT_EQ(text(control::samplesLabel), "1600 Samples");
    }

    TEST_F(ShellTest, WithoutAFileThePlayButtonsAndExportDoNothing)
    {
        input.click(control::playOneBit);
        input.pressKey(Qt::Key_Space);
        input.click(control::playWave);
        input.click(control::stop);
        input.chooseMenuItem("Export Beepster…");
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
        // Every sound file first, then WAV files alone.
        const std::string filter = dialogs.questions[0];
        EXPECT_TRUE(filter.starts_with("Open Wavefile||Sound files|*.aif *.aifc *.aiff "))
            << filter;
        EXPECT_TRUE(filter.ends_with(";;*.wav|*.wav")) << filter;
        for (const char* pattern :
            { " *.flac ", " *.mp3 ", " *.ogg ", " *.opus ", " *.caf ", " *.wav " }) {
            EXPECT_NE(filter.find(pattern), std::string::npos) << pattern;
        }
        EXPECT_EQ(filter.find("*.raw"), std::string::npos);
        EXPECT_EQ(shell.window().title(), "TICKTRACE v1.0  tune.wav");
        EXPECT_EQ(text(control::rateLabel), "22050 Hz");
        EXPECT_EQ(text(control::channelsLabel), "Stereo");
        EXPECT_EQ(text(control::bitsLabel), "16 Bit/Sample");
        EXPECT_EQ(text(control::samplesLabel), "4000 Samples");
        EXPECT_EQ(shell.redrawCount(), 1);
        EXPECT_TRUE(dialogs.messages.empty());

        // Opened again, unchanged, its sound is shared rather than read a second time; changed,
        // it is read.
        const SampleBytes* const block = shell.document().data.block.get();
        open(files.dir().string() + "/tune.wav");
        EXPECT_EQ(shell.document().data.block.get(), block);
        EXPECT_EQ(text(control::samplesLabel), "4000 Samples");
        EXPECT_EQ(shell.redrawCount(), 2);
        open(writeTone("tune.wav", 3000));
        EXPECT_NE(shell.document().data.block.get(), block);
        EXPECT_EQ(text(control::samplesLabel), "3000 Samples");
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
        const WaveDocument& document = shell.document();
        WaveImage oneBit;
        ASSERT_TRUE(oneBit.prepare(document.header, document.data.sizeBytes));
        convertWholeFile(
            document.header, document.data.bytes(), ModulatorSettings {}, oneBit.sampleArea());
        const double audibleDb = audibleSnrDb(
            document.header, document.data.bytes(), ModulatorSettings {}, oneBit.sampleArea());
        EXPECT_TRUE(shell.window()
                        .toolTip(control::samplesLabel)
                        .ends_with(text::audibleSnrToolTip(audibleDb)));
        // The figure speaks of the settings shown only: any change of one takes it back.
        const auto change = [&](auto act) {
            input.click(control::playOneBit);
            ASSERT_TRUE(pump());
            act();
            ASSERT_TRUE(pump());
            EXPECT_EQ(text(control::samplesLabel), "9600 Samples");
            EXPECT_EQ(shell.window().toolTip(control::samplesLabel), "");
        };
        change([&] { input.moveTrackbar(control::value2Trackbar, 900); });
        change([&] { input.typeText(control::value1Spin, "2000"); });
        change([&] { input.typeText(control::volumeField, "2"); });
        change([&] { input.chooseMenuItem("Look-ahead Modulator"); });
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
        input.pressLeft({ 100, 250 });
        ASSERT_TRUE(pump());
        const int before = shell.redrawCount();
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
        EXPECT_TRUE(shell.window().menuChecked(menu::modulatorItem(ModulatorKind::Greedy)));
        EXPECT_FALSE(shell.window().menuChecked(menu::modulatorItem(ModulatorKind::LookAhead)));
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
        EXPECT_FALSE(shell.window().menuChecked(menu::modulatorItem(ModulatorKind::Greedy)));
        Image expected(600, 300);
        redrawZoomView(
            expected, shell.overviewStrip(), document.header, document.data, lookAhead, 0);
        EXPECT_TRUE(sameImage(shell.zoomView(), expected));
        EXPECT_FALSE(sameImage(shell.zoomView(), greedyView));

        // Play 1Bit and the export convert with it too.
        std::vector<std::uint8_t> image(document.data.bytes().size());
        const ConversionResult result
            = convertWholeFile(document.header, document.data.bytes(), lookAhead, image);
        input.click(control::playOneBit);
        ASSERT_TRUE(pump());
        EXPECT_EQ(text(control::samplesLabel), errorLabelText(result));

        testing::StringSink expectedText;
        ConversionResult exported;
        exportPlayerSource(
            expectedText, document.header, document.data.bytes(), lookAhead, image, exported);
        const std::string target = (files.dir() / "look-ahead.txt").string();
        dialogs.answers.push_back(target);
        input.chooseMenuItem("Export Beepster…");
        ASSERT_TRUE(pump());
        std::ifstream written(target, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), expectedText.text);

        input.chooseMenuItem("Greedy Modulator");
        ASSERT_TRUE(pump());
        EXPECT_FALSE(shell.window().menuChecked(menu::modulatorItem(ModulatorKind::LookAhead)));
        EXPECT_EQ(shell.settings().modulator, ModulatorKind::Greedy);
        EXPECT_TRUE(sameImage(shell.zoomView(), greedyView));
    }

    TEST_F(ShellTest, ExportWritesTheChosenFileAndACancelWritesNothing)
    {
        // The player source first, then the other formats.
        const std::string exportFilters
            = "*.txt|*.txt;;*.h|*.h;;*.bin|*.bin;;*.inc|*.inc;;*.asm|*.asm;;*.s|*.s";
        open(writeTone("export.wav", 16 * 40));
        dialogs.answers.push_back(""); // cancelled
        input.chooseMenuItem("Export Beepster…");
        ASSERT_TRUE(pump());
        EXPECT_EQ(text(control::samplesLabel), "640 Samples"); // no pass ran

        const std::string target = (files.dir() / "tune").string();
        dialogs.answers.push_back(target);
        input.chooseMenuItem("Export Beepster…");
        ASSERT_TRUE(pump());
        EXPECT_EQ(dialogs.questions.back(),
            "Save 1Bit|" + (files.dir() / "export.txt").string() + "|" + exportFilters);
        EXPECT_TRUE(std::filesystem::exists(target + ".txt"));
        EXPECT_EQ(std::filesystem::file_size(target + ".txt") > 0, true);
        EXPECT_EQ(text(control::samplesLabel).rfind("Error: ", 0), 0u);
        EXPECT_LT(value(control::progress), 1); // back to empty after the export

        dialogs.answers.push_back((files.dir() / "no-such-folder" / "x.txt").string());
        input.chooseMenuItem("Export Beepster…");
        ASSERT_TRUE(pump());
        ASSERT_FALSE(dialogs.messages.empty());
        EXPECT_EQ(dialogs.messages.back(), "Error|can't create File");

        // The dialog's file type chooses the format: the C header's extension is added.
        dialogs.filterAnswers.push_back(1);
        dialogs.answers.push_back(target);
        input.chooseMenuItem("Export Beepster…");
        ASSERT_TRUE(pump());
        EXPECT_TRUE(testing::fileText(target + ".h").starts_with("/* One-bit sound"));

        // A label prefix, refused when an assembler would not take it, then in every label.
        for (const std::string prefix : { "9 lives", "sfx_" }) {
            dialogs.textAnswers.push_back(prefix);
            input.chooseMenuItem("Export Label Prefix…");
            ASSERT_TRUE(pump());
        }
        EXPECT_EQ(dialogs.messages.back(), "Error|can't use 9 lives as a label prefix");
        EXPECT_EQ(dialogs.textQuestions.back(), "Export Label Prefix|");
        dialogs.answers.push_back(target + "2.txt");
        input.chooseMenuItem("Export Beepster…");
        ASSERT_TRUE(pump());
        const std::string text = testing::fileText(target + "2.txt");
        EXPECT_NE(text.find("\r\nsfx_key0000:\r\n"), std::string::npos);
        EXPECT_EQ(text.find("\r\nkey"), std::string::npos);
    }

    // The dialogs start where the last file was opened or written: never where an export failed
    // (in /proc a dialog could block for good), nor where a file was refused.
    TEST_F(ShellTest, OnlyFilesOpenedOrWrittenMoveTheFileDialogs)
    {
        const std::string tone = writeTone("moved.wav", 16 * 40);
        const std::string written = (files.dir() / "moved.txt").string();
        struct Step {
            const char* menuItem;
            std::string answer;
            bool used;
        };
        const Step steps[] = {
            { "Open Wave…", tone, true },
            { "Export Beepster…", "/proc/moved.txt", false },
            { "Save 1Bit Sound…", "/proc/moved.wav", false },
            { "Open Wave…", (files.dir() / "missing.wav").string(), false },
            { "Export Beepster…", "", false },
            { "Export Beepster…", written, true },
        };
        for (const Step& step : steps) {
            SCOPED_TRACE(step.menuItem + (" " + step.answer));
            dialogs.used.clear();
            dialogs.answers.push_back(step.answer);
            input.chooseMenuItem(step.menuItem);
            ASSERT_TRUE(pump());
            EXPECT_EQ(dialogs.used,
                step.used ? std::vector<std::string> { step.answer } : std::vector<std::string> {});
        }
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
            input.chooseMenuItem("Export Beepster…");
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
        const Rect boxBefore = shell.window().controlGeometry(control::infoBox);
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
        EXPECT_TRUE(
            shell.window()
                .toolTip(control::infoBox)
                .ends_with("\n\n" + searchReportText(expected, start, SearchScope::LeakAndStep)));
        EXPECT_EQ(shell.window().toolTip(control::progress),
            searchReportText(expected, start, SearchScope::LeakAndStep));
        EXPECT_LT(value(control::progress), 1);
        const Rect box = shell.window().controlGeometry(control::infoBox);
        EXPECT_EQ((std::array { box.x, box.y, box.width, box.height }),
            (std::array { boxBefore.x, boxBefore.y, boxBefore.width, boxBefore.height }))
            << "the report's text moved or resized the information box";

        // Find Best Volume keeps the circuit and sets the Volume pair.
        const SearchResult volume
            = findBestSettings(shell.document().header, shell.document().data.bytes(),
                settingsFound(expected, start), {}, SearchScope::VolumeOnly);
        input.chooseMenuItem("Find Best Volume");
        ASSERT_TRUE(pump());
        EXPECT_EQ(value(control::volumeTrackbar), volume.volume);
        EXPECT_EQ(text(control::volumeField), volumeText(volume.volume));
        EXPECT_EQ(value(control::value2Spin), expected.value2);
        EXPECT_EQ(text(control::progress), searchSummaryText(volume));
        // Its message speaks of the settings shown only.
        input.moveTrackbar(control::value1Trackbar, 100);
        ASSERT_TRUE(pump());
        EXPECT_EQ(text(control::progress), "");

        // A new file clears the message; the box tells only the export's size again.
        open(writeTone("tone16.wav", 4000));
        EXPECT_EQ(text(control::progress), "");
        EXPECT_EQ(shell.window().toolTip(control::progress), "");
        EXPECT_EQ(
            shell.window().toolTip(control::infoBox).find("Find Best Settings"), std::string::npos);
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

    TEST_F(ShellTest, FileArgumentAndDroppedFilesOpenWithTheDetailOfARefusal)
    {
        const std::string tone = writeTone("argument.wav", 1600);
        EXPECT_TRUE(shell.openFile(tone)); // as main() does with ticktrace FILE.wav
        ASSERT_TRUE(pump());
        EXPECT_EQ(shell.window().title(), "TICKTRACE v1.0  argument.wav");
        EXPECT_EQ(shell.redrawCount(), 1);

        const std::string text = files.write("notes.wav", testing::Bytes { 'h', 'i' });
        const std::string missing = (files.dir() / "missing.wav").string();
        EXPECT_FALSE(shell.openFile(text));
        EXPECT_FALSE(shell.openFile(missing));
        EXPECT_EQ(dialogs.messages,
            (std::vector<std::string> { "Error|Format not supported", "Error|can't read File" }));
        EXPECT_EQ(dialogs.details,
            (std::vector<std::string> {
                text + "\n\n" + std::string(text::refusedFileDetail), missing }));

        EXPECT_TRUE(input.dropFile(writeTone("dropped.wav", 3200, 8, 1), { 300, 100 }));
        ASSERT_TRUE(pump());
        EXPECT_EQ(shell.window().title(), "TICKTRACE v1.0  dropped.wav");
        EXPECT_EQ(this->text(control::samplesLabel), "3200 Samples");
        // Other drops are told and change nothing.
        dialogs.messages.clear();
        const std::string notes = files.write("notes.txt", testing::Bytes { 'x' });
        input.dropFile(notes, { 9, 9 });
        input.dropFiles({ writeTone("a.wav", 1600), writeTone("b.wav", 1600) }, { 9, 9 });
        ASSERT_TRUE(pump());
        EXPECT_EQ(dialogs.messages,
            (std::vector<std::string> {
                "Error|Format not supported", "Error|can't open several Files at once" }));
        EXPECT_EQ(dialogs.details.back().find(files.dir().string() + "/a.wav\n"), 0u);
        EXPECT_EQ(shell.window().title(), "TICKTRACE v1.0  dropped.wav");
    }

    TEST(SaveNames, ProposedBesideTheSoundOrInTheHomeFolderWhenItsFolderTakesNoFile)
    {
        testing::TempFiles files;
        const std::string here = (files.dir() / "tune.wav").string();
        const struct {
            std::string soundPath, ending, proposal;
        } cases[] = {
            { here, ".txt", (files.dir() / "tune.txt").string() },
            { here, "-1bit.wav", (files.dir() / "tune-1bit.wav").string() },
            { "/proc/sound/tune.flac", ".txt", "/home/user/tune.txt" },
            { "/sys/tune", "-1bit.wav", "/home/user/tune-1bit.wav" },
            { "", ".txt", "" },
        };
        for (const auto& c : cases) {
            EXPECT_EQ(proposedSaveName(c.soundPath, c.ending, "/home/user"), c.proposal);
        }
    }

    TEST_F(ShellTest, SavesProposeTheSoundsNameBesideItAndReplaceOnlyWhenTheUserAgrees)
    {
        namespace fs = std::filesystem;
        open(writeTone("tune.wav", 16 * 600));
        struct Case {
            const char* menuItem;
            const char* proposal; // "title|name|filter" of the save dialog
            const char* existing; // a file of that name that is there already
        };
        const Case cases[] = {
            { "Export Beepster…",
                "Save "
                "1Bit|tune.txt|*.txt|*.txt;;*.h|*.h;;*.bin|*.bin;;*.inc|*.inc;;*.asm|*.asm;;*.s|*."
                "s",
                "old.txt" },
            { "Save 1Bit Sound…", "Save 1Bit Sound|tune-1bit.wav|*.wav|*.wav", "old.wav" },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.menuItem);
            const std::string proposal(c.proposal);
            const auto bar = proposal.find('|');
            const std::string name
                = proposal.substr(bar + 1, proposal.find('|', bar + 1) - bar - 1);
            dialogs.answers.push_back((files.dir() / name).string());
            input.chooseMenuItem(c.menuItem);
            ASSERT_TRUE(pump());
            EXPECT_EQ(dialogs.questions.back(),
                proposal.substr(0, bar + 1) + (files.dir() / name).string()
                    + proposal.substr(proposal.find('|', bar + 1)));
            EXPECT_GT(fs::file_size(files.dir() / name), 0u);
            EXPECT_TRUE(dialogs.yesNoQuestions.empty()); // a new file needs no question
            // What was written is told where the user looks.
            const bool isExport = name.ends_with(".txt");
            const std::uintmax_t sizeBytes = fs::file_size(files.dir() / name);
            EXPECT_EQ(text(control::progress),
                "Saved: "
                    + (isExport ? "600 words, 1200 bytes" : std::to_string(sizeBytes) + " bytes"));
            EXPECT_EQ(shell.window().toolTip(control::progress),
                (files.dir() / name).string()
                    + (isExport ? "\n600 words, 1200 bytes of program memory; the file has "
                                + std::to_string(sizeBytes) + " bytes"
                                : ""));

            const fs::path existing = files.dir() / c.existing;
            std::ofstream(existing) << "keep me";
            for (const bool yes : { false, true }) {
                dialogs.answers.push_back(existing.string());
                dialogs.yesNoAnswers.push_back(yes);
                input.chooseMenuItem(c.menuItem);
                ASSERT_TRUE(pump());
                ASSERT_FALSE(dialogs.yesNoQuestions.empty());
                EXPECT_EQ(dialogs.yesNoQuestions.back(),
                    "Replace File|" + std::string(c.existing)
                        + " already exists. Do you want to replace it?");
                EXPECT_EQ(testing::fileText(existing) == "keep me", !yes);
            }
            dialogs.yesNoQuestions.clear();
        }
        EXPECT_TRUE(dialogs.messages.empty());
    }

    TEST_F(ShellTest, TheInformationBoxTellsTheExportsSizeAndExplainsTheError)
    {
        for (const int frameCount : { 16 * 600, 16 * 498 + 5, 16 * 498 * 9 }) {
            open(writeTone("size.wav", frameCount));
            const auto* box = static_cast<QWidget*>(shell.window().nativeControl(control::infoBox));
            const std::string tip = box->toolTip().toStdString();
            const std::filesystem::path target = files.dir() / "size.txt";
            dialogs.answers.push_back(target.string());
            dialogs.yesNoAnswers.push_back(true);
            input.chooseMenuItem("Export Beepster…");
            ASSERT_TRUE(pump());
            const std::int64_t words = frameCount / 16;
            const std::int64_t blocks = (words + 497) / 498;
            EXPECT_EQ(tip,
                "Export Beepster writes " + std::to_string(words) + " words in "
                    + std::to_string(blocks) + (blocks == 1 ? " block" : " blocks")
                    + " of up to 498 words: " + std::to_string(2 * words)
                    + " bytes of program memory, "
                    + std::to_string(std::filesystem::file_size(target)) + " bytes of text.");
            const auto* label
                = static_cast<QWidget*>(shell.window().nativeControl(control::samplesLabel));
            EXPECT_NE(label->toolTip().toStdString().find("mean distance"), std::string::npos);
        }
        for (const int id : { control::value1Trackbar, control::value1Spin, control::value2Trackbar,
                 control::value2Spin, control::volumeTrackbar, control::volumeField }) {
            const auto* control = static_cast<QWidget*>(shell.window().nativeControl(id));
            const std::string tip = control->toolTip().toStdString();
            EXPECT_TRUE(tip.find("leak") != std::string::npos
                || tip.find("step") != std::string::npos || tip.find("gain") != std::string::npos)
                << id << ": " << tip;
        }
    }

    TEST_F(ShellTest, SaveOneBitSoundWritesTheBytesOfTheCommandLinesWav)
    {
        const struct {
            std::string input;
            std::optional<std::int64_t> rateHz; // Sound ▸ Resample… before saving
        } cases[] = {
            { writeTone("cli.wav", 5000), std::nullopt },
            { std::string(TICKTRACE_DECODE_FIXTURES) + "/flac-24bit.flac", std::nullopt },
            { std::string(TICKTRACE_DECODE_FIXTURES) + "/mp3-mono.mp3", 16000 },
            { writeTone("up.wav", 3000, 8, 1), 44100 },
            // 8 * 375 + 5 frames: the 5 behind the counted frames hold silence, 0x80 in 8 bits.
            { writeTone("tail8.wav", 3005, 8, 1), std::nullopt },
            { writeTone("tail16.wav", 3005, 16, 1), std::nullopt },
        };
        this->input.typeText(control::value1Spin, "6000");
        this->input.typeText(control::value2Spin, "400");
        this->input.typeText(control::volumeField, "2.5");
        ASSERT_TRUE(pump());
        for (const auto& c : cases) {
            SCOPED_TRACE(c.input);
            open(c.input);
            std::vector<std::string> arguments { "--value1", "6000", "--value2", "400", "--volume",
                "2.5" };
            if (c.rateHz) {
                dialogs.textAnswers.push_back(std::to_string(*c.rateHz));
                this->input.chooseMenuItem("Resample…");
                ASSERT_TRUE(pump());
                arguments.insert(arguments.end(), { "--rate", std::to_string(*c.rateHz) });
            }
            const std::string saved = (files.dir() / "window").string(); // ".wav" is added
            dialogs.answers.push_back(saved);
            dialogs.yesNoAnswers.push_back(true);
            this->input.chooseMenuItem("Save 1Bit Sound…");
            ASSERT_TRUE(pump());
            EXPECT_EQ(text(control::samplesLabel).rfind("Error: ", 0), 0u);

            const std::string fromCommand = (files.dir() / "command.wav").string();
            arguments.insert(arguments.end(), { "--wav", fromCommand, c.input });
            const testing::ProcessResult run = testing::runConvert(arguments, files.dir());
            ASSERT_EQ(run.exitCode, 0) << run.err;
            const std::string windowBytes = testing::fileText(saved + ".wav");
            EXPECT_GT(windowBytes.size(), 44u + 2000);
            EXPECT_TRUE(windowBytes == testing::fileText(fromCommand)) << "the files differ";
            const WaveDocument& document = shell.document();
            const std::size_t countedBytes
                = std::size_t(document.frameCount() * document.header.bytesPerFrame());
            const char silence = document.header.bitsPerSample == 8 ? char(0x80) : 0;
            EXPECT_EQ(windowBytes.substr(44 + countedBytes),
                std::string(document.data.sizeBytes - countedBytes, silence));
        }
        EXPECT_TRUE(dialogs.messages.empty());
    }

    TEST_F(ShellTest, DecodedFilesOpenAsSixteenBitAndTheToolTipTellsTheirFormat)
    {
        open(std::string(TICKTRACE_DECODE_FIXTURES) + "/flac-24bit.flac");
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(shell.window().title(), "TICKTRACE v1.0  flac-24bit.flac");
        EXPECT_EQ(text(control::rateLabel), "48000 Hz");
        EXPECT_EQ(text(control::channelsLabel), "Stereo");
        EXPECT_EQ(text(control::bitsLabel), "16 Bit/Sample");
        EXPECT_EQ(text(control::samplesLabel), "4800 Samples");
        const std::string tip = shell.window().toolTip(control::infoBox);
        EXPECT_TRUE(tip.starts_with(
            "Original: FLAC, 24-bit, 48000 Hz, stereo\n\nExport Beepster writes 300 words"))
            << tip;
    }

    TEST_F(ShellTest, ADecodedFileShorterThanItStatesOpensAsWhatDecodesAndTheToolTipSaysSo)
    {
        const std::string path = (files.dir() / "cut.mp3").string();
        ASSERT_TRUE(testing::writeEncodedSound(
            path, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 48000, 48000));
        const std::string whole = testing::fileText(path);
        open(files.write("cut.mp3", testing::Bytes(whole.begin(), whole.begin() + 3000)));
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_LT(shell.document().data.sizeBytes, 2u * 48000);
        const std::string tip = shell.window().toolTip(control::infoBox);
        EXPECT_TRUE(
            tip.starts_with("Original: MP3, 48000 Hz, mono\nShorter than the file states: "))
            << tip;
    }

    TEST_F(ShellTest, ResampleStartsFromTheFilesOwnSoundAndTheTitleTellsTheRate)
    {
        const std::string path = writeTone("tune.wav", 4000); // 22050 Hz, 16-bit stereo
        open(path);
        LoadedWave own;
        ASSERT_EQ(loadWaveFile(path, own), LoadStatus::Loaded);
        struct Step {
            std::optional<std::string> answer; // empty: cancelled
            std::string proposed; // the dialog's "title|value": the last rate given
            std::uint32_t rateHz; // of the sound afterwards
            std::string title;
            std::string progress; // the progress field afterwards
            bool escape = false; // pressed while it resamples: the sound stays as it was
        };
        const std::string at8000 = "TICKTRACE v1.0  tune.wav (8000 Hz)";
        const std::string at16000 = "TICKTRACE v1.0  tune.wav (16000 Hz)";
        const std::string own22050 = "TICKTRACE v1.0  tune.wav";
        const Step steps[] = {
            { std::nullopt, "Resample|22050", 22050, own22050, "" },
            { "16000", "Resample|22050", 16000, at16000, "" },
            { "11025", "Resample|16000", 16000, at16000, "Resampling cancelled", true },
            { "16000000/2000", "Resample|11025", 8000, at8000,
                "16000000/2000 = 8000.00 Hz, resampled to 8000 Hz" },
            { "22050", "Resample|16000000/2000", 22050, own22050, "" },
            { "8 kHz", "Resample|22050", 22050, own22050, "" }, // refused with a message
        };
        for (const Step& step : steps) {
            SCOPED_TRACE(step.proposed);
            dialogs.textAnswers.push_back(step.answer);
            input.chooseMenuItem("Resample…");
            if (step.escape) {
                input.pressKey(Qt::Key_Escape); // waiting when the resampling first looks
            }
            ASSERT_TRUE(pump());
            EXPECT_EQ(text(control::progress), step.progress);
            EXPECT_EQ(dialogs.textQuestions.back(), step.proposed);
            EXPECT_EQ(shell.window().title(), step.title);
            const WaveDocument& document = shell.document();
            EXPECT_EQ(text(control::rateLabel), std::to_string(step.rateHz) + " Hz");
            EXPECT_EQ(text(control::bitsLabel), "16 Bit/Sample");
            // Always made from the file's own sound, never from the last resampled one.
            LoadedWave expected = own;
            if (step.rateHz != 22050) {
                ASSERT_EQ(resampleSound(own, step.rateHz, expected), LoadStatus::Loaded);
            }
            EXPECT_TRUE(std::ranges::equal(document.data.bytes(), expected.data.bytes()));
            EXPECT_EQ(text(control::samplesLabel),
                std::to_string(frameCount(expected.header, expected.data.sizeBytes)) + " Samples");
            const std::string tip = shell.window().toolTip(control::infoBox);
            EXPECT_EQ(tip.starts_with("Resampled from 22050 Hz to "), step.rateHz != 22050) << tip;
        }
        EXPECT_EQ(dialogs.messages,
            (std::vector<std::string> { "Error|can't resample this Sound to 8 kHz" }));
    }

    // Shift+press, drag and click in the band, Set Start and Set End at the view's frame, Select
    // All and Trim Silence mark the selection, which the band shades, the progress field tells and
    // Save 1Bit Sound takes as ticktrace-convert --start --end does.
    TEST_F(ShellTest, TheSelectionIsMarkedInTheBandAndByTheSoundMenuAndSavesTakeIt)
    {
        open(writeTone("mark.wav", 6000)); // a band column x is the frame x * 6000 / 599
        enum class Act { ShiftPress, Press, Move, Release, Key, Menu };
        struct Step {
            Act act;
            int x = 0; // or the key
            const char* item = "";
            FrameRange selection {};
        };
        const Step steps[] = {
            { Act::ShiftPress, 100, "", {} }, { Act::Move, 300, "", { 1002, 3005 } },
            { Act::Move, 700, "", { 1002, 6000 } }, // beyond the band: the sound's end
            { Act::Move, 50, "", { 501, 1002 } }, // back across the anchor
            { Act::Release, 50, "", { 501, 1002 } }, { Act::ShiftPress, 400, "", { 501, 1002 } },
            { Act::Release, 400, "", { 501, 4007 } }, // a Shift+click moves the nearer end
            { Act::Menu, 0, "Select All", {} }, { Act::ShiftPress, 200, "", {} },
            { Act::Release, 200, "", { 0, 2003 } }, // from the view's frame without a selection
            { Act::Press, 100, "", { 0, 2003 } }, // a plain press moves the view only
            { Act::Release, 100, "", { 0, 2003 } }, { Act::Key, Qt::Key_Home, "", { 0, 2003 } },
            { Act::Key, Qt::Key_PageDown, "", { 0, 2003 } }, // the view starts at frame 40
            { Act::Key, Qt::Key_BracketRight, "", { 0, 40 } }, // Ctrl+]: Set End
            { Act::Key, Qt::Key_BracketLeft, "", { 40, 6000 } }, // Ctrl+[: Set Start
            { Act::Menu, 0, "Set Start", { 40, 6000 } },
            { Act::Key, Qt::Key_Home, "", { 40, 6000 } },
            { Act::Menu, 0, "Set Start", {} }, // every frame: no selection
        };
        for (const Step& step : steps) {
            const Point at { step.x, 250 };
            switch (step.act) {
            case Act::ShiftPress:
            case Act::Press:
                input.pressLeft(at, step.act == Act::ShiftPress);
                break;
            case Act::Move:
                input.moveTo(at);
                break;
            case Act::Release:
                input.releaseLeft(at);
                break;
            case Act::Key:
                input.focus(control::zoomImage);
                input.pressKey(
                    step.x, step.x == Qt::Key_BracketLeft || step.x == Qt::Key_BracketRight);
                break;
            case Act::Menu:
                input.chooseMenuItem(step.item);
                break;
            }
            ASSERT_TRUE(pump());
            SCOPED_TRACE(std::to_string(int(step.act)) + " at " + std::to_string(step.x));
            EXPECT_EQ(shell.state().selection, step.selection);
            if (step.act == Act::ShiftPress || step.act == Act::Move) {
                EXPECT_EQ(shell.state().viewStart, 0);
            }
        }

        // A drag handled only once the button is up again still marks.
        input.pressLeft({ 100, 250 }, true);
        input.moveTo({ 300, 250 });
        input.releaseLeft({ 300, 250 });
        ASSERT_TRUE(pump());
        EXPECT_EQ(shell.state().selection, (FrameRange { 1002, 3005 }));

        // Frames 1000 ... 1999 are loud, the rest silent or below -60 dBFS.
        testing::Bytes samples;
        for (int i = 0; i < 3000; ++i) {
            const int level = i >= 1000 && i < 2000
                ? 5000 + int(std::lround(std::sin(i * 0.05) * 4000))
                : (i % 2 ? 32 : 0);
            testing::putU16(samples, std::uint16_t(std::int16_t(level)));
        }
        const std::string loud
            = files.write("loud.wav", testing::canonicalWave({ 1, 1, 22050, 16 }, samples));
        open(loud);
        input.pressLeft({ 50, 250 }, true);
        input.moveTo({ 500, 250 });
        ASSERT_TRUE(pump());
        EXPECT_FALSE(shell.state().selection.empty());
        open(loud); // opening a file clears the selection
        EXPECT_TRUE(shell.state().selection.empty());
        input.pressKey(Qt::Key_T, true);
        ASSERT_TRUE(pump());
        EXPECT_EQ(shell.state().selection, (FrameRange { 1000, 2000 }));
        EXPECT_EQ(text(control::progress), "Selected 1000 frames, 0.045 s");
        EXPECT_EQ(shell.window().toolTip(control::progress), "Selected frames 1000 … 2000 of 3000");
        // The export's size is the selection's: 1000 frames round down to 992, 62 words.
        EXPECT_NE(shell.window().toolTip(control::infoBox).find("writes 62 words in 1 block"),
            std::string::npos);
        // The band shades the selected columns (200 ... 399) and only those.
        for (const auto& [x, shaded] :
            { std::pair { 150, false }, { 300, true }, { 450, false } }) {
            EXPECT_EQ(shell.zoomView().pixel(x, 220) != shell.overviewStrip().pixel(x, 20), shaded)
                << x;
        }

        const std::string saved = (files.dir() / "part.wav").string();
        dialogs.answers.push_back(saved);
        input.chooseMenuItem("Save 1Bit Sound…");
        ASSERT_TRUE(pump());
        const std::string fromCommand = (files.dir() / "command.wav").string();
        const testing::ProcessResult run = testing::runConvert(
            { "--start", "1000", "--end", "2000", "--wav", fromCommand, loud }, files.dir());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(testing::fileText(saved).size(), 44u + 2000);
        EXPECT_TRUE(testing::fileText(saved) == testing::fileText(fromCommand));
        EXPECT_TRUE(dialogs.messages.empty());
    }

} // namespace
} // namespace tt
