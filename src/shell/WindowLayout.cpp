#include "shell/WindowLayout.h"

#include "decode/SoundFileExtensions.h"
#include "modulator/ModulatorSettings.h"
#include "modulator/VolumeText.h"
#include "platform/toolkit/Window.h"
#include "shell/ControlIds.h"
#include "shell/ProgramTexts.h"

namespace tt {

void buildMainWindow(Window& window, const Image& zoomView)
{
    using S = ModulatorSettings;
    constexpr int none = Window::unaddressed;

    // The control takes the size of its image.
    window.addImageControl(
        control::zoomImage, { 0, 0, ZoomLayout::widthPx, ZoomLayout::heightPx }, zoomView);
    window.addLabel(none, { 10, 310, 40, 20 }, "Value 1");
    window.addLabel(none, { 10, 340, 40, 20 }, "Value 2");
    window.addLabel(none, { 10, 370, 40, 20 }, "Volume");
    window.addTrackbar(control::value1Trackbar, { 50, 310, 150, 20 }, S::value1Min, S::value1Max);
    window.addSpinField(control::value1Spin, { 200, 310, 50, 20 }, S::value1Min, S::value1Max);
    window.addTrackbar(control::value2Trackbar, { 50, 340, 150, 20 }, S::value2Min, S::value2Max);
    window.addSpinField(control::value2Spin, { 200, 340, 50, 20 }, S::value2Min, S::value2Max);
    window.addTrackbar(control::volumeTrackbar, { 50, 370, 150, 20 }, S::volumeMin, S::volumeMax);
    window.addTextField(control::volumeField, { 200, 370, 50, 20 });

    window.setValue(control::volumeTrackbar, S::volumeDefault);
    window.setText(control::volumeField, volumeText(S::volumeDefault));
    window.setValue(control::value1Trackbar, S::value1Default);
    window.setValue(control::value1Spin, S::value1Default);
    window.setValue(control::value2Trackbar, S::value2Default);
    window.setValue(control::value2Spin, S::value2Default);

    window.addButton(control::playWave, { 300, 340, 80, 20 }, "Play Wave");
    window.addButton(control::playOneBit, { 300, 370, 80, 20 }, "Play 1Bit");
    window.addButton(control::stop, { 390, 340, 40, 50 }, "STOP");
    window.addProgressBar(control::progress, { 300, 310, 130, 20 }, 1, 100);

    window.beginContainer({ 490, 310, 100, 80 }, control::infoBox);
    window.addLabel(control::rateLabel, { 5, 5, 90, 20 }, "");
    window.addLabel(control::channelsLabel, { 5, 23, 90, 20 }, "");
    window.addLabel(control::bitsLabel, { 5, 41, 90, 20 }, "");
    window.addLabel(control::samplesLabel, { 5, 59, 90, 20 }, "");
    window.endContainer();

    window.addMenu("&File",
        {
            { menu::openWave, "&Open Wave…", "Ctrl+O" },
            { menu::exportPlayerSource, "&Export Beepster…", "Ctrl+E" },
            { menu::saveOneBitSound, "&Save 1Bit Sound…", "Ctrl+S" },
            { menu::labelPrefix, "Export &Label Prefix…", "" },
            { MenuItem::separator, "", "" },
            { menu::quit, "&Quit", "Ctrl+Q" },
        });
    std::vector<MenuItem> sound {
        { menu::findBestSettings, "&Find Best Settings", "Ctrl+B" },
        { menu::findBestVolume, "Find Best &Volume", "Ctrl+Shift+B" },
        { menu::resample, "&Resample…", "" },
        { MenuItem::separator, "", "" },
        { menu::setStart, "Set &Start", "Ctrl+[" },
        { menu::setEnd, "Set &End", "Ctrl+]" },
        { menu::selectAll, "Select &All", "Ctrl+Shift+A" },
        { menu::trimSilence, "&Trim Silence", "Ctrl+T" },
        { menu::playFromView, "&Play from View", "Ctrl+P" },
        { menu::loopPlayback, "Loop Play&back", "Ctrl+L", MenuItem::Kind::Toggle },
        { menu::switchAB, "Switch A/B (&Original)", "Ctrl+H" },
        { MenuItem::separator, "", "" },
    };
    // One choice item per modulator, the default checked.
    for (const ModulatorKindInfo& info : modulatorKinds) {
        sound.push_back({ menu::modulatorItem(info.kind), std::string(info.menuText), "",
            MenuItem::Kind::Choice, info.kind == ModulatorSettings {}.modulator });
    }
    window.addMenu("&Sound", sound);
    addDesktopIntegration(window);
}

void addDesktopIntegration(Window& window)
{
    for (const int id : { control::value1Trackbar, control::value1Spin }) {
        window.setToolTip(id, text::value1ToolTip);
    }
    for (const int id : { control::value2Trackbar, control::value2Spin }) {
        window.setToolTip(id, text::value2ToolTip);
    }
    for (const int id : { control::volumeTrackbar, control::volumeField }) {
        window.setToolTip(id, text::volumeToolTip);
    }
    std::vector<std::string> extensions;
    for (const std::string& extension : soundFileExtensions()) {
        extensions.push_back("." + extension);
    }
    window.acceptDroppedFiles(extensions);
    // Always the last menu.
    window.addMenu("&Help", { { menu::about, "&About TICKTRACE…", "" } });
}

} // namespace tt
