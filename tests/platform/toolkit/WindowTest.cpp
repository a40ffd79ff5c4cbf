#include "platform/toolkit/Window.h"

#include "UserInput.h"
#include "image/Image.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QTest>
#include <Qt>
#include <array>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace tt {
namespace {

    std::vector<Event> drain(Window& window)
    {
        std::vector<Event> events;
        Event event;
        while (window.pollEvent(event)) {
            events.push_back(event);
        }
        return events;
    }

    std::vector<Event> only(const std::vector<Event>& events, Event::Kind kind)
    {
        std::vector<Event> matching;
        for (const Event& e : events) {
            if (e.kind == kind) {
                matching.push_back(e);
            }
        }
        return matching;
    }

    class WindowTest : public testing::Test {
    protected:
        WindowTest()
        {
            window.addImageControl(0, { 0, 0, 600, 400 }, image);
            window.addTrackbar(3, { 50, 310, 150, 20 }, 1, 9000);
            window.addSpinField(4, { 200, 310, 50, 20 }, 1, 9000);
            window.addTextField(6, { 200, 370, 50, 20 });
            window.addButton(9, { 300, 340, 80, 20 }, "Play Wave");
            window.addProgressBar(12, { 300, 310, 130, 20 }, 1, 100);
            window.beginContainer({ 490, 310, 100, 80 }, 18);
            window.addLabel(13, { 5, 5, 90, 20 }, "");
            window.endContainer();
            window.addMenu("&File",
                { { 7, "&Open Wave…", "Ctrl+O" }, { MenuItem::separator, "", "" },
                    { 17, "&Quit", "Ctrl+Q" } });
            window.show();
            input.settle();
            drain(window);
        }

        Image image { 600, 300 };
        Window window { "TICKTRACE v1.0", 600, 420 };
        UserInput input { window };
    };

    // A mistake in the program's own tables stops it with the reason, in every build, instead
    // of reading as 0 or "".
    TEST_F(WindowTest, AskingForWhatIsNotThereAborts)
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        const std::vector<std::pair<std::string, std::function<void()>>> mistakes {
            { "no control with id 99", [&] { window.value(99); } },
            { "no control with id -1", [&] { window.setToolTip(-1, "x"); } },
            { "control 13 has no value", [&] { window.value(13); } }, // a label
            { "control 0 has no value", [&] { window.setValue(0, 1); } }, // the image
            { "control 3 has no text", [&] { window.text(3); } }, // a trackbar
            { "control 4 has no text to set", [&] { window.setText(4, "5"); } }, // a spin field
            { "control 9 has no image", [&] { window.showImage(9, image); } }, // a button
            { "no menu item numbered 99", [&] { window.menuChecked(99); } },
        };
        for (const auto& [reason, mistake] : mistakes) {
            EXPECT_DEATH(mistake(), "programming error: " + reason);
        }
    }

    TEST_F(WindowTest, ProgramChangesRaiseNoEventsUserChangesRaiseOne)
    {
        window.setValue(3, 1234);
        window.setValue(4, 99);
        window.setText(6, "1.000000");
        EXPECT_TRUE(only(drain(window), Event::Kind::Control).empty());
        EXPECT_EQ(window.value(3), 1234);
        EXPECT_EQ(window.text(6), "1.000000");

        input.moveTrackbar(3, 4000);
        auto controls = only(drain(window), Event::Kind::Control);
        ASSERT_EQ(controls.size(), 1u);
        EXPECT_EQ(controls[0].id, 3);

        input.typeText(6, "2.5");
        controls = only(drain(window), Event::Kind::Control);
        ASSERT_FALSE(controls.empty());
        EXPECT_EQ(controls.back().id, 6);
        EXPECT_EQ(controls.back().type, Event::fieldEdited);
        EXPECT_EQ(window.text(6), "2.5");

        // The click takes the focus from the field, which ends its editing first.
        input.click(9);
        controls = only(drain(window), Event::Kind::Control);
        ASSERT_EQ(controls.size(), 2u);
        EXPECT_EQ(controls[0].id, 6);
        EXPECT_EQ(controls[0].type, Event::fieldFinished);
        EXPECT_EQ(controls[1].id, 9);
    }

    TEST_F(WindowTest, TrackbarClampsAndSpinKeepsLastValidValue)
    {
        window.setValue(3, 20000);
        EXPECT_EQ(window.value(3), 9000);
        window.setValue(4, 77);
        input.typeText(4, "0");
        EXPECT_EQ(window.value(4), 77);
        input.typeText(4, "250");
        EXPECT_EQ(window.value(4), 250);
    }

    TEST_F(WindowTest, LabelTextsAreShownWholeInTheirWidth)
    {
        auto* label = qobject_cast<QLabel*>(static_cast<QWidget*>(window.nativeControl(13)));
        ASSERT_NE(label, nullptr);
        const auto shownWidth
            = [&] { return QFontMetrics(label->font()).horizontalAdvance(label->text()); };
        const int normalSize = QFontInfo(label->font()).pixelSize();

        window.setText(13, "4294967295 Samples"); // the largest count a WAV file can hold
        EXPECT_EQ(window.text(13), "4294967295 Samples");
        EXPECT_LE(shownWidth(), label->contentsRect().width());
        EXPECT_LT(QFontInfo(label->font()).pixelSize(), normalSize);

        // A short text afterwards gets the normal size back.
        window.setText(13, "Error: 504");
        EXPECT_EQ(QFontInfo(label->font()).pixelSize(), normalSize);
        EXPECT_TRUE(label->toolTip().isEmpty());

        // Too long for any legible size: cut, but readable in full as a tool tip.
        const std::string essay(200, 'W');
        window.setText(13, essay);
        EXPECT_EQ(label->toolTip().toStdString(), essay);
    }

    TEST_F(WindowTest, ContainerPlacesItsControlsRelativeToItself)
    {
        const Rect label = window.controlGeometry(13);
        EXPECT_EQ(label.x, 495);
        EXPECT_EQ(label.y, 315);
        const Rect image = window.controlGeometry(0);
        EXPECT_EQ(image.width, 600); // the image control takes its image's size
        EXPECT_EQ(image.height, 300);
    }

    TEST_F(WindowTest, SpaceGivesOneKeyEventAndDoesNotPressTheFocusedButton)
    {
        input.focus(9);
        input.pressKey(Qt::Key_Space);
        const auto events = drain(window);
        const auto keys = only(events, Event::Kind::KeyDown);
        ASSERT_EQ(keys.size(), 1u);
        EXPECT_EQ(keys[0].key, Event::keySpace);
        EXPECT_TRUE(only(events, Event::Kind::Control).empty());
    }

    TEST_F(WindowTest, MenuItemsAndShortcutsGiveTheirNumbers)
    {
        input.chooseMenuItem("Open Wave…");
        auto menus = only(drain(window), Event::Kind::Menu);
        ASSERT_EQ(menus.size(), 1u);
        EXPECT_EQ(menus[0].id, 7);

        input.pressKey(Qt::Key_Q, true);
        menus = only(drain(window), Event::Kind::Menu);
        ASSERT_EQ(menus.size(), 1u);
        EXPECT_EQ(menus[0].id, 17);
    }

    TEST_F(WindowTest, ChoiceItemsExcludeEachOtherAndTheProgramMaySetTheCheck)
    {
        using Kind = MenuItem::Kind;
        window.addMenu("Sound",
            { { 20, "First", "", Kind::Choice, true }, { 21, "Second", "", Kind::Choice },
                { 22, "Plain", "" } });
        const auto checks = [&] {
            return std::vector { window.menuChecked(20), window.menuChecked(21),
                window.menuChecked(22) };
        };
        EXPECT_EQ(checks(), (std::vector { true, false, false }));

        input.chooseMenuItem("Second");
        auto menus = only(drain(window), Event::Kind::Menu);
        ASSERT_EQ(menus.size(), 1u);
        EXPECT_EQ(menus[0].id, 21);
        EXPECT_EQ(checks(), (std::vector { false, true, false }));

        input.chooseMenuItem("Plain");
        EXPECT_EQ(only(drain(window), Event::Kind::Menu).size(), 1u);
        EXPECT_EQ(checks(), (std::vector { false, true, false }));

        window.setMenuChecked(20, true);
        EXPECT_TRUE(drain(window).empty());
        EXPECT_EQ(checks(), (std::vector { true, false, false }));
        EXPECT_FALSE(window.menuChecked(7)); // a plain item of another menu
    }

    TEST_F(WindowTest, KeysGiveTheirCodeAndTheFocusedControl)
    {
        const std::pair<int, int> keys[]
            = { { Qt::Key_Escape, Event::keyEscape }, { Qt::Key_Left, Event::keyLeft },
                  { Qt::Key_Right, Event::keyRight }, { Qt::Key_PageUp, Event::keyPageUp },
                  { Qt::Key_PageDown, Event::keyPageDown }, { Qt::Key_Home, Event::keyHome },
                  { Qt::Key_End, Event::keyEnd }, { Qt::Key_X, Event::keyOther } };
        for (const int focused : { 0, 4 }) {
            input.focus(focused);
            for (const auto& [qtKey, code] : keys) {
                input.pressKey(qtKey);
                const auto events = only(drain(window), Event::Kind::KeyDown);
                ASSERT_EQ(events.size(), 1u) << qtKey;
                EXPECT_EQ(events[0].key, code);
                EXPECT_EQ(events[0].id, focused);
            }
        }
    }

    TEST_F(WindowTest, ImageTakesTheFocusOnAClickAndWithTab)
    {
        const auto focusedId = [&] {
            input.pressKey(Qt::Key_Left);
            const auto keys = only(drain(window), Event::Kind::KeyDown);
            return keys.empty() ? -100 : keys.back().id;
        };
        input.focus(9);
        input.pressLeft({ 300, 100 });
        input.releaseLeft({ 300, 100 });
        EXPECT_EQ(focusedId(), 0);
        input.focus(3);
        input.pressKeyWith(Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(focusedId(), 0);
        input.pressKey(Qt::Key_Tab);
        EXPECT_EQ(focusedId(), 3);
    }

    TEST_F(WindowTest, ReturnAndEnterPressTheFocusedButtonOnly)
    {
        for (const int qtKey : { Qt::Key_Return, Qt::Key_Enter }) {
            input.focus(9);
            input.pressKey(qtKey);
            const auto clicks = only(drain(window), Event::Kind::Control);
            ASSERT_EQ(clicks.size(), 1u) << qtKey;
            EXPECT_EQ(clicks[0].id, 9);
            input.focus(0);
            input.pressKey(qtKey);
            EXPECT_TRUE(only(drain(window), Event::Kind::Control).empty()) << qtKey;
        }
    }

    TEST_F(WindowTest, TicksComeWhileTickingOneAtATime)
    {
        using namespace std::chrono_literals;
        window.tickEvery(10ms);
        EXPECT_TRUE(window.ticking());
        // Ten ticks fall due while none is taken: one waits, and draining it may let the next.
        for (int round = 0; round < 2; ++round) {
            QTest::qWait(100);
            const auto ticks = only(drain(window), Event::Kind::Tick);
            EXPECT_GE(ticks.size(), 1u);
            EXPECT_LE(ticks.size(), 2u);
        }
        window.tickEvery(0ms);
        EXPECT_FALSE(window.ticking());
        QTest::qWait(50);
        EXPECT_TRUE(only(drain(window), Event::Kind::Tick).empty());
    }

    // One file with the extension is taken; any other drop of files is reported as refused, so
    // that the program can say why.
    TEST_F(WindowTest, DroppedFilesWithTheExtensionGiveTheirPathAndOthersARefusal)
    {
        EXPECT_FALSE(input.dropFile("/tmp/before.wav", { 300, 100 })); // drops not yet taken
        window.acceptDroppedFiles({ ".wav", ".flac" });
        const std::pair<std::vector<std::string>, int> drops[] = {
            { { "/tmp/tune.wav" }, Event::dropTaken },
            { { "/tmp/LOUD.WAV" }, Event::dropTaken },
            { { "/tmp/song.Flac" }, Event::dropTaken },
            { { "/tmp/notes.txt" }, Event::dropRefused },
            { { "/tmp/wav" }, Event::dropRefused },
            { { "/tmp/a.wav", "/tmp/b.wav" }, Event::dropRefused },
        };
        for (const auto& [paths, type] : drops) {
            SCOPED_TRACE(paths.front());
            EXPECT_TRUE(input.dropFiles(paths, { 300, 350 }));
            const auto events = only(drain(window), Event::Kind::Drop);
            ASSERT_EQ(events.size(), 1u);
            EXPECT_EQ(events[0].type, type);
            EXPECT_EQ(events[0].path, paths.size() == 1 ? paths[0] : paths[0] + "\n" + paths[1]);
        }
    }

    TEST_F(WindowTest, ToolTipsOfControlsContainersAndCutLabels)
    {
        auto* label = static_cast<QLabel*>(window.nativeControl(13));
        window.setToolTip(18, "the box");
        window.setToolTip(13, "the label");
        window.setText(13, "44100 Hz");
        EXPECT_EQ(label->toolTip().toStdString(), "the label");
        window.setText(13, std::string(200, 'W'));
        EXPECT_EQ(label->toolTip().toStdString(), std::string(200, 'W') + "\n\nthe label");
        EXPECT_EQ(
            static_cast<QWidget*>(window.nativeControl(18))->toolTip().toStdString(), "the box");
        window.setToolTip(9, "plays");
        EXPECT_EQ(static_cast<QWidget*>(window.nativeControl(9))->toolTip().toStdString(), "plays");
    }

    // The menus' mnemonics and separators are walked on the program's own window (ShellTest).
    TEST_F(WindowTest, TheWindowHasTheIcon)
    {
        auto& main = *static_cast<QMainWindow*>(window.nativeHandle());
        const QImage icon = main.windowIcon().pixmap(64, 64).toImage();
        ASSERT_FALSE(icon.isNull());
        int opaque = 0;
        for (int y = 0; y < icon.height(); ++y) {
            for (int x = 0; x < icon.width(); ++x) {
                opaque += qAlpha(icon.pixel(x, y)) == 255;
            }
        }
        EXPECT_GT(opaque, icon.width() * icon.height() / 2) << "the icon was not drawn";
    }

    TEST_F(WindowTest, PointerPressMoveAndReleaseOnTheImage)
    {
        input.pressLeft({ 100, 250 });
        auto events = drain(window);
        auto controls = only(events, Event::Kind::Control);
        ASSERT_EQ(controls.size(), 1u);
        EXPECT_EQ(controls[0].id, 0);
        EXPECT_EQ(controls[0].type, Event::imageLeftPress);
        EXPECT_EQ(controls[0].pointer, (Point { 100, 250 }));
        EXPECT_TRUE(window.leftButtonDown());

        input.moveTo({ 150, 260 });
        EXPECT_FALSE(only(drain(window), Event::Kind::MouseMove).empty());
        EXPECT_EQ(window.pointer(), (Point { 150, 260 }));

        // Held, the pointer is followed beyond the window's edge.
        input.moveTo({ 700, -20 });
        const auto moves = only(drain(window), Event::Kind::MouseMove);
        ASSERT_FALSE(moves.empty());
        EXPECT_EQ(moves.back().pointer, (Point { 700, -20 }));
        EXPECT_EQ(window.pointer(), (Point { -1, -1 }));

        input.releaseLeft({ 150, 260 });
        const auto ups = only(drain(window), Event::Kind::LeftButtonUp);
        ASSERT_EQ(ups.size(), 1u);
        EXPECT_EQ(ups[0].pointer, (Point { 150, 260 }));
        EXPECT_FALSE(window.leftButtonDown());
    }

    TEST_F(WindowTest, CloseBoxIsAnEventAndTheWindowStays)
    {
        input.closeBox();
        EXPECT_EQ(only(drain(window), Event::Kind::Close).size(), 1u);
        window.setTitle("TICKTRACE v1.0  a.wav");
        EXPECT_EQ(window.title(), "TICKTRACE v1.0  a.wav");
    }

    TEST_F(WindowTest, ProgressBarTakesValuesAndEmptiesBelowItsRange)
    {
        window.setValue(12, 42);
        EXPECT_EQ(window.value(12), 42);
        window.setValue(12, 0);
        EXPECT_LT(window.value(12), 1);
        // Its message stays whatever the value, and tool tips go on any control or box.
        window.setText(12, "SNR -7.1 \u2192 12.2 dB");
        window.setValue(12, 42);
        EXPECT_EQ(window.text(12), "SNR -7.1 \u2192 12.2 dB");
        window.setToolTip(12, "before\nafter");
        window.setToolTip(18, "box");
        EXPECT_EQ(window.toolTip(12), "before\nafter");
        EXPECT_EQ(window.toolTip(18), "box");
        const Rect bar = window.controlGeometry(12);
        EXPECT_EQ((std::array { bar.x, bar.y, bar.width, bar.height }),
            (std::array { 300, 310, 130, 20 }));
    }

    TEST_F(WindowTest, ABusyWindowReportsOnlyEscapeUntilItIsIdleAgain)
    {
        const Point onButton { 340, 350 };
        window.setBusy(true);
        input.pressLeft(onButton);
        input.releaseLeft(onButton);
        input.pressKey(Qt::Key_Q, true); // a menu shortcut
        input.pressKey(Qt::Key_A);
        input.closeBox();
        input.pressKey(Qt::Key_Escape);
        const auto busyEvents = drain(window);
        ASSERT_EQ(busyEvents.size(), 1u);
        EXPECT_EQ(busyEvents[0].kind, Event::Kind::KeyDown);
        EXPECT_EQ(busyEvents[0].key, Event::keyEscape);

        window.setBusy(false);
        input.pressLeft(onButton);
        input.releaseLeft(onButton);
        const auto controls = only(drain(window), Event::Kind::Control);
        ASSERT_EQ(controls.size(), 1u);
        EXPECT_EQ(controls[0].id, 9);
    }

} // namespace
} // namespace tt
