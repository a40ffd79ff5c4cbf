#include "shell/Shell.h"

#include "export/PlayerSourceExport.h"
#include "modulator/ConversionResult.h"
#include "modulator/VolumeText.h"
#include "modulator/WholeFileConversion.h"
#include "platform/audio/AudioOutput.h"
#include "platform/toolkit/Dialogs.h"
#include "platform/toolkit/text/TextFormat.h"
#include "shell/ControlIds.h"
#include "view/ViewPlacement.h"
#include "view/ZoomView.h"
#include "wave/FileInfo.h"
#include "wave/WaveLoader.h"
#include "wave/overview/OverviewStrip.h"

#include <algorithm>
#include <string>

namespace tt {
namespace {

    constexpr int slotWave = 0;
    constexpr int slotOneBit = 1;

    // The overview band of the zoom image, where the cursor is dragged (both bounds exclusive).
    constexpr int bandTop = 200;
    constexpr int bandBottom = 300;

} // namespace

Shell::Shell(AudioOutput& audio)
    : audio_(audio)
    , window_(programTitle, windowInnerWidth, windowInnerHeight)
{
    buildMainWindow(window_, zoomView_);
}

Shell::~Shell() = default;

void Shell::setDialogs(std::unique_ptr<Dialogs> dialogs)
{
    dialogs_ = std::move(dialogs);
}

void Shell::run()
{
    window_.show();
    while (dispatch(window_.waitEvent())) { }
}

bool Shell::dispatch(const Event& event)
{
    if (!handle(event)) {
        return false;
    }
    if (state_.redrawRequested) {
        state_.redrawRequested = false;
        redraw();
    }
    return true;
}

ModulatorSettings Shell::settings() const
{
    ModulatorSettings settings;
    settings.value1 = window_.value(control::value1Trackbar);
    settings.value2 = window_.value(control::value2Trackbar);
    settings.volume = window_.value(control::volumeTrackbar);
    return settings;
}

bool Shell::handle(const Event& event)
{
    switch (event.kind) {
    case Event::Kind::Close:
        return false;
    case Event::Kind::Control:
        handleControl(event);
        return true;
    case Event::Kind::Menu:
        switch (event.id) {
        case menu::openWave:
            openWave();
            state_.redrawRequested = true;
            return true;
        case menu::exportBeepster:
            exportPlayerSource();
            return true;
        case menu::quit:
            return false;
        default:
            return true;
        }
    case Event::Kind::MouseMove:
        dragCursor();
        return true;
    case Event::Kind::LeftButtonUp:
        state_.dragActive = false;
        return true;
    case Event::Kind::KeyDown:
        if (event.key == Event::keySpace) {
            playOneBit();
        }
        return true;
    case Event::Kind::Tick:
    case Event::Kind::Drop:
        return true;
    }
    return true;
}

void Shell::handleControl(const Event& event)
{
    // Each control of a pair follows the other; program changes raise no events, so no echo.
    const auto follow = [this](int from, int to) {
        state_.redrawRequested = true;
        window_.setValue(to, window_.value(from));
    };
    switch (event.id) {
    case control::zoomImage:
        if (event.type == Event::imageLeftPress) {
            state_.dragActive = true;
        }
        break;
    case control::value1Trackbar:
        follow(control::value1Trackbar, control::value1Spin);
        break;
    case control::value1Spin:
        follow(control::value1Spin, control::value1Trackbar);
        break;
    case control::value2Trackbar:
        follow(control::value2Trackbar, control::value2Spin);
        break;
    case control::value2Spin:
        follow(control::value2Spin, control::value2Trackbar);
        break;
    case control::volumeTrackbar:
        state_.redrawRequested = true;
        window_.setText(control::volumeField, volumeText(window_.value(control::volumeTrackbar)));
        break;
    case control::volumeField: {
        state_.redrawRequested = true;
        // The trackbar limits the value; the field keeps what the user typed.
        const std::int64_t volume = volumeFromText(window_.text(control::volumeField));
        window_.setValue(control::volumeTrackbar,
            int(std::clamp<std::int64_t>(
                volume, ModulatorSettings::volumeMin, ModulatorSettings::volumeMax)));
        break;
    }
    case control::playWave:
        play(slotWave);
        break;
    case control::playOneBit:
        playOneBit();
        break;
    case control::stop:
        if (audio_.isLoaded(slotWave)) {
            audio_.stop(slotWave);
        }
        if (audio_.isLoaded(slotOneBit)) {
            audio_.stop(slotOneBit);
        }
        break;
    default:
        break;
    }
}

void Shell::dragCursor()
{
    const Point pointer = window_.pointer();
    if (pointer.y > bandTop && pointer.y < bandBottom) {
        if (!window_.leftButtonDown()) {
            state_.dragActive = false;
        }
        if (state_.dragActive) {
            state_.cursorX = pointer.x;
            state_.redrawRequested = true;
        }
    } else {
        state_.dragActive = false;
    }
}

void Shell::openWave()
{
    if (!dialogs_) {
        return;
    }
    const std::string path = dialogs_->openFile("Open Wavefile", "", "*.wav|*.wav");
    if (path.empty()) {
        return;
    }
    const FileIdentity file = FileIdentity::of(path);
    LoadedWave loaded;
    switch (loadWaveFile(path, loaded)) {
    case LoadStatus::Unreadable:
        dialogs_->message("Error", "can't read File");
        return;
    case LoadStatus::OutOfMemory:
        dialogs_->message("Error", "not enough memory");
        return;
    case LoadStatus::NotSupported:
        dialogs_->message("Error", "Format not supported");
        return;
    case LoadStatus::Loaded:
        break;
    }
    // Accepted: title, data, image, sound slot, strip and labels change together, and only
    // once the image's memory is had (otherwise nothing changes).
    if (!document_.accept(std::move(loaded))) {
        dialogs_->message("Error", "not enough memory");
        return;
    }
    loadedFile_ = file;
    window_.setTitle(std::string(programTitle) + "  " + std::string(fileNamePart(path)));
    const WaveHeader& header = document_.header;
    audio_.loadPcm(slotWave, { header.channelCount, header.sampleRateHz, header.bitsPerSample },
        document_.data.block, 0, std::size_t(document_.data.sizeBytes));
    drawOverviewStrip(overviewStrip_, header, document_.data.bytes(), document_.frameCount());
    const FileInfoTexts info = fileInfoTexts(header, document_.frameCount());
    window_.setText(control::rateLabel, info.rate);
    window_.setText(control::channelsLabel, info.channels);
    window_.setText(control::bitsLabel, info.bits);
    window_.setText(control::samplesLabel, info.samples);
}

void Shell::playOneBit()
{
    convertForPlay();
    play(slotOneBit);
}

void Shell::play(int slot)
{
    if (audio_.isLoaded(slot)) {
        audio_.play(slot);
        return;
    }
    // Both slots hold the file's rate; the slot refused it, so the user learns why it stays
    // silent.
    const std::uint32_t rateHz = document_.header.sampleRateHz;
    if (document_.isLoaded() && !AudioOutput::playsRate(rateHz) && dialogs_) {
        dialogs_->message("Error",
            "can't play this Sound: its rate of " + std::to_string(rateHz) + " Hz is outside "
                + std::to_string(AudioOutput::minSampleRateHz) + " … "
                + std::to_string(AudioOutput::maxSampleRateHz) + " Hz");
    }
}

void Shell::convertForPlay()
{
    if (!document_.isLoaded()) {
        return;
    }
    const ConversionResult result = convertWholeFile(
        document_.header, document_.data.bytes(), settings(), document_.image.sampleArea());
    window_.setText(control::samplesLabel, errorLabelText(result));
    const auto image = document_.image.bytes();
    audio_.loadImage(slotOneBit, image.data(), image.size());
}

void Shell::exportPlayerSource()
{
    if (!document_.isLoaded() || !dialogs_) {
        return;
    }
    const std::string chosen = dialogs_->saveFile("Save 1Bit", "", "*.txt|*.txt");
    if (chosen.empty()) {
        return;
    }
    const std::string path = withTextExtension(chosen);
    if (FileIdentity::of(path).isSameFileAs(loadedFile_)) {
        dialogs_->message("Error", "can't create File");
        return;
    }
    ConversionResult result;
    const ExportStatus status = tt::exportPlayerSource(path, document_.header,
        document_.data.bytes(), settings(), document_.image.sampleArea(), result,
        [this](int percent) { window_.setValue(control::progress, percent); });
    if (status == ExportStatus::CannotCreate) {
        dialogs_->message("Error", "can't create File");
        return;
    }
    window_.setText(control::samplesLabel, errorLabelText(result));
    const auto image = document_.image.bytes();
    audio_.loadImage(slotOneBit, image.data(), image.size());
    window_.setValue(control::progress, 0);
    if (status == ExportStatus::CannotWrite) {
        dialogs_->message("Error", "can't write File");
    }
}

void Shell::redraw()
{
    if (redrawZoomView(zoomView_, overviewStrip_, document_.header, document_.data, settings(),
            viewStartAtColumn(state_.cursorX, document_.frameCount()))) {
        window_.showImage(control::zoomImage, zoomView_);
        ++redrawCount_;
    }
}

} // namespace tt
