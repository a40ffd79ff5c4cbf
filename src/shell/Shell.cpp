#include "shell/Shell.h"

#include "app/ExportFormats.h"
#include "app/OutputRun.h"
#include "app/PlayConversion.h"
#include "app/PlayerRate.h"
#include "app/SettingsFinding.h"
#include "app/SilenceTrim.h"
#include "export/PlayerSourceWriter.h"
#include "modulator/ConversionResult.h"
#include "modulator/VolumeText.h"
#include "platform/audio/AudioOutput.h"
#include "platform/toolkit/Dialogs.h"
#include "search/SearchReport.h"
#include "shell/ControlIds.h"
#include "shell/ProgramTexts.h"
#include "shell/SaveNames.h"
#include "shell/SelectionMarks.h"
#include "shell/ViewKeys.h"
#include "text/TextFormat.h"
#include "view/ViewNavigation.h"
#include "view/ViewPlacement.h"
#include "view/ZoomLayout.h"
#include "view/ZoomView.h"
#include "wave/FileInfo.h"
#include "wave/FrameCount.h"
#include "wave/LoadedWaveStream.h"
#include "wave/PartStream.h"
#include "wave/overview/OverviewStrip.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace tt {
namespace {

    constexpr int slotWave = 0;
    constexpr int slotOneBit = 1;

    // How often the playing position is looked at while a sound plays.
    constexpr std::chrono::milliseconds playbackTick { 30 };

    // The overview band of the zoom image, where the cursor is dragged; its first row and the
    // row below it are outside.
    bool inBand(Point pointer)
    {
        return pointer.y > ZoomLayout::stripTopPx && pointer.y < ZoomLayout::heightPx;
    }

    PcmFormat pcmFormatOf(const WaveHeader& header)
    {
        return { header.channelCount, header.sampleRateHz, header.bitsPerSample };
    }

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
    for (const ModulatorKindInfo& info : modulatorKinds) {
        if (window_.menuChecked(menu::modulatorItem(info.kind))) {
            settings.modulator = info.kind;
        }
    }
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
        case menu::exportPlayerSource:
            exportPlayerSource();
            return true;
        case menu::labelPrefix:
            askLabelPrefix();
            return true;
        case menu::findBestSettings:
            findBestSettings(SearchScope::LeakAndStep);
            return true;
        case menu::findBestVolume:
            findBestSettings(SearchScope::VolumeOnly);
            return true;
        case menu::resample:
            resample();
            return true;
        case menu::saveOneBitSound:
            saveOneBitSound();
            return true;
        case menu::about:
            if (dialogs_) {
                dialogs_->about(text::aboutTitle, text::aboutText());
            }
            return true;
        case menu::quit:
            return false;
        case menu::setStart:
            setSelection(selectionStartingAt(state_.selection, state_.viewStart, soundFrames()));
            return true;
        case menu::setEnd:
            setSelection(selectionEndingAt(state_.selection, state_.viewStart, soundFrames()));
            return true;
        case menu::selectAll:
            setSelection({});
            return true;
        case menu::trimSilence:
            trimSilence();
            return true;
        case menu::playFromView:
            playFromView();
            return true;
        case menu::loopPlayback:
            return true;
        case menu::switchAB:
            switchAB();
            return true;
        default:
            if (event.id >= menu::firstModulator
                && event.id < menu::firstModulator + int(modulatorKinds.size())) {
                state_.redrawRequested = true; // the menu has checked the chosen one
                settingsChanged();
            }
            return true;
        }
    case Event::Kind::MouseMove:
        if (state_.marking) {
            markTo(event.pointer);
        } else {
            dragView(event.pointer);
        }
        return true;
    case Event::Kind::LeftButtonUp:
        if (state_.marking) {
            endMarking();
        }
        state_.dragActive = false;
        state_.dragFollows = false;
        return true;
    case Event::Kind::KeyDown:
        handleKey(event);
        return true;
    case Event::Kind::Tick:
        followPlayback();
        return true;
    case Event::Kind::Drop:
        if (event.type == Event::dropTaken) {
            loadFile(event.path);
        } else {
            refuseDrop(event.path);
        }
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
        settingsChanged();
    };
    switch (event.id) {
    case control::zoomImage:
        if (event.type == Event::imageLeftPress && event.shift && inBand(event.pointer)) {
            startMarking(event.pointer);
        } else if (event.type == Event::imageLeftPress) {
            startDrag(event.pointer);
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
        settingsChanged();
        break;
    case control::volumeField:
        volumeTyped(event.type == Event::fieldFinished);
        break;
    case control::playWave:
        loadWavePart(selectedPart());
        play(slotWave);
        break;
    case control::playOneBit:
        playOneBit();
        break;
    case control::stop:
        stopSounds();
        break;
    default:
        break;
    }
}

// A Volume is applied as soon as the field reads as one; other text changes nothing. Once the
// user is done with the field, it shows the Volume in force, and text that was not one is told.
void Shell::volumeTyped(bool finished)
{
    const std::string typed = window_.text(control::volumeField);
    const std::optional<int> volume = volumeOfField(typed);
    if (volume && *volume != window_.value(control::volumeTrackbar)) {
        window_.setValue(control::volumeTrackbar, *volume);
        state_.redrawRequested = true;
        settingsChanged();
    }
    if (!finished) {
        return;
    }
    const std::string applied = volumeText(window_.value(control::volumeTrackbar));
    window_.setText(control::volumeField, applied);
    if (!volume && dialogs_) {
        dialogs_->message("Error", "Volume not changed",
            "\"" + typed
                + "\" is not a number from 0 to 4 (with a point, as in 1.5). The Volume stays "
                + applied + ".");
    }
}

// Escape and Space act wherever the focus is; the keys that move the view only while the zoom
// image has it, so that they still edit a number field.
void Shell::handleKey(const Event& event)
{
    switch (event.key) {
    case Event::keySpace:
        toggleOneBit();
        return;
    case Event::keyEscape:
        stopSounds();
        return;
    default:
        break;
    }
    if (event.id != control::zoomImage) {
        return;
    }
    if (const std::optional<ViewStep> step = viewStepOfKey(event.key)) {
        const std::int64_t frameCount = document_.frameCount();
        moveView(steppedViewStart(state_.viewStart, *step, frameCount));
        state_.cursorX = overviewColumnOf(state_.viewStart, frameCount);
    }
}

// The window takes one sound file at a time; any other drop is told, and nothing changes.
void Shell::refuseDrop(const std::string& paths)
{
    if (!dialogs_) {
        return;
    }
    if (paths.find('\n') != std::string::npos) {
        dialogs_->message("Error", "can't open several Files at once",
            paths + "\n\nDrop one sound file on the window.");
    } else {
        dialogs_->message(
            "Error", "Format not supported", paths + "\n\n" + std::string(text::refusedFileDetail));
    }
}

// A press in the band places the view at once; a press in the plot waits until the drag
// reaches the band.
void Shell::startDrag(Point pointer)
{
    state_.dragActive = true;
    state_.dragFollows = inBand(pointer);
    if (state_.dragFollows) {
        moveCursor(pointer.x);
    }
}

// Once in the band, the drag follows the pointer's column wherever it goes, limited to the
// band's ends, until the button is released.
void Shell::dragView(Point pointer)
{
    if (!state_.dragActive) {
        return;
    }
    if (!window_.leftButtonDown()) {
        state_.dragActive = false;
        state_.dragFollows = false;
        return;
    }
    state_.dragFollows = state_.dragFollows || inBand(pointer);
    if (state_.dragFollows) {
        moveCursor(pointer.x);
    }
}

void Shell::moveCursor(int pointerX)
{
    state_.cursorX = std::clamp(pointerX, 0, ZoomLayout::widthPx - 1);
    moveView(viewStartAtColumn(state_.cursorX, document_.frameCount()));
}

void Shell::moveView(std::int64_t viewStart)
{
    if (viewStart != state_.viewStart) {
        state_.viewStart = viewStart;
        state_.redrawRequested = true;
    }
}

void Shell::startMarking(Point pointer)
{
    if (!document_.isLoaded()) {
        return;
    }
    state_.marking = true;
    state_.markMoved = false;
    state_.markAnchor = frameAtColumn(pointer.x, soundFrames());
}

// The drag marks from the anchor to the pointer's column, wherever the pointer goes.
void Shell::markTo(Point pointer)
{
    const std::int64_t frame = frameAtColumn(pointer.x, soundFrames());
    if (frame != state_.markAnchor || state_.markMoved) {
        state_.markMoved = true;
        setSelection(FrameRange::between(state_.markAnchor, frame));
    }
    // A release outside the window may come without an event of its own.
    if (!window_.leftButtonDown()) {
        endMarking();
    }
}

void Shell::endMarking()
{
    if (state_.marking && !state_.markMoved) {
        setSelection(clickedSelection(state_.selection, state_.markAnchor, state_.viewStart));
    }
    state_.marking = false;
}

// The selection shaded in the band and told in the progress field.
void Shell::setSelection(FrameRange selection)
{
    const FrameRange normalised = normalisedSelection(selection, soundFrames());
    if (normalised == state_.selection) {
        return;
    }
    state_.selection = normalised;
    showSelection();
    showInfoToolTip("");
    window_.setText(control::progress, selectionText(normalised, document_.header.sampleRateHz));
    window_.setToolTip(control::progress, selectionToolTip(normalised, soundFrames()));
}

void Shell::showSelection()
{
    bandStrip_ = overviewStrip_;
    if (!state_.selection.empty()) {
        const auto [first, end] = selectionColumns(state_.selection, soundFrames());
        shadeColumns(bandStrip_, first, end);
    }
    state_.redrawRequested = true;
}

// Within the selection (or the whole sound), from its first to its last frame louder than
// silence; a sound with none keeps its selection.
void Shell::trimSilence()
{
    if (!document_.isLoaded()) {
        return;
    }
    LoadedWaveStream input(LoadedWave { document_.header, document_.data });
    FrameRange loud;
    if (findLoudPart(input, state_.selection, loud) && !loud.empty()) {
        setSelection(loud);
    } else if (dialogs_) {
        dialogs_->message("Error", "nothing to trim to",
            "No frame of " + std::string(state_.selection.empty() ? "the sound" : "the selection")
                + " is louder than " + formatFixed(silenceThresholdDbfs, 0) + " dBFS.");
    }
}

std::int64_t Shell::soundFrames() const
{
    return framesHeld(document_.header, document_.data.sizeBytes);
}

FrameRange Shell::selectedPart() const
{
    return state_.selection.empty() ? FrameRange { 0, soundFrames() } : state_.selection;
}

namespace {

    // The selection's frames of the data; all of them without one.
    std::span<const std::uint8_t> selectedPartOf(
        std::span<const std::uint8_t> bytes, FrameRange selection, const WaveHeader& header)
    {
        const auto frameBytes = std::size_t(header.bytesPerFrame());
        return selection.empty() ? bytes
                                 : bytes.subspan(std::size_t(selection.first) * frameBytes,
                                     std::size_t(selection.length()) * frameBytes);
    }

} // namespace

std::span<const std::uint8_t> Shell::selectedBytes() const
{
    return selectedPartOf(document_.data.bytes(), state_.selection, document_.header);
}

// The wave slot shares the loaded sound's bytes; the whole sound plays to its last byte.
void Shell::loadWavePart(FrameRange part)
{
    if (!document_.isLoaded()) {
        return;
    }
    const auto frameBytes = std::size_t(document_.header.bytesPerFrame());
    state_.slotStarted[slotWave] = false; // a load silences the slot
    audio_.loadPcm(slotWave, pcmFormatOf(document_.header), document_.data.block,
        std::size_t(part.first) * frameBytes,
        part == FrameRange { 0, soundFrames() } ? std::size_t(document_.data.sizeBytes)
                                                : std::size_t(part.length()) * frameBytes);
    state_.slotFrameCounts[slotWave] = document_.frameCount();
    state_.slotFirstFrames[slotWave] = part.first;
}

// The loaded sound from the view's first frame to the end of the selection it lies in, or else
// to the sound's end.
void Shell::playFromView()
{
    const FrameRange selection = state_.selection;
    const bool inSelection
        = state_.viewStart >= selection.first && state_.viewStart < selection.end;
    loadWavePart({ state_.viewStart, inSelection ? selection.end : soundFrames() });
    play(slotWave);
}

void Shell::openWave()
{
    if (!dialogs_) {
        return;
    }
    const std::string path = dialogs_->openFile("Open Wavefile", "", text::openFileFilter());
    if (!path.empty()) {
        loadFile(path);
    }
}

bool Shell::openFile(const std::string& path)
{
    const bool loaded = loadFile(path);
    if (state_.redrawRequested) {
        state_.redrawRequested = false;
        redraw();
    }
    return loaded;
}

bool Shell::loadFile(const std::string& path)
{
    const auto tell = [this, &path](std::string_view text, std::string_view more = {}) {
        if (dialogs_) {
            dialogs_->message(
                "Error", text, more.empty() ? path : path + "\n\n" + std::string(more));
        }
    };
    const FileIdentity file = FileIdentity::of(path);
    // The one-bit sound belongs to the sound this file replaces, whose frames the new view no
    // longer shows; it stops before the file is read, so that its data (which it holds while it
    // plays, also after Resample…) and the new data are never held beside the loaded data. A
    // file that is not there leaves it playing.
    std::error_code missing;
    if (std::filesystem::exists(path, missing)) {
        releaseOneBitSound();
    }
    releaseSilentOneBitSound();
    // The file opened again and unchanged is not read a second time: its sound is shared.
    FileSound loaded;
    const bool unchanged = document_.isLoaded() && sound_.isWhatTheFileGives(path);
    if (unchanged) {
        loaded = sound_;
    }
    switch (unchanged ? LoadStatus::Loaded : loaded.load(path)) {
    case LoadStatus::Unreadable:
    case LoadStatus::Cancelled: // loading is never cancelled
        tell("can't read File");
        return false;
    case LoadStatus::OutOfMemory:
        tell("not enough memory");
        return false;
    case LoadStatus::NotSupported:
        tell("Format not supported", text::refusedFileDetail);
        return false;
    case LoadStatus::Loaded:
        break;
    }
    // Accepted: title, data, sound slot, strip and labels change together. The document
    // shares the sample block with sound_.
    state_.selection = {};
    document_.accept(LoadedWave(loaded.original()));
    sound_ = std::move(loaded);
    loadedFile_ = file;
    std::error_code ignored;
    loadedPath_ = std::filesystem::absolute(path, ignored).lexically_normal().string();
    showSound();
    if (dialogs_) {
        dialogs_->fileUsed(loadedPath_);
    }
    return true;
}

// A long task runs while this thread keeps the window painted and the progress bar moving. The
// window is busy for that time: it drops every other input of the user (clicks, keys, menu
// shortcuts, the close box), so no control changes under the task, and reports Escape, which
// makes the progress callback ask the task to stop. The bar is empty again afterwards.
template <class Task> auto Shell::whileBusy(Task&& task)
{
    window_.setBusy(true);
    bool escapePressed = false;
    const std::function<bool(int)> progress = [&](int percent) {
        window_.setValue(control::progress, percent);
        Event event;
        while (window_.pollEvent(event)) {
            escapePressed = escapePressed
                || (event.kind == Event::Kind::KeyDown && event.key == Event::keyEscape);
        }
        return !escapePressed;
    };
    auto result = task(progress);
    window_.setBusy(false);
    window_.setValue(control::progress, 0);
    return result;
}

// The loaded file's sound at a rate the user asks for, always resampled from the sound as the
// file gave it; its own rate brings that back unchanged.
void Shell::resample()
{
    if (!document_.isLoaded() || !dialogs_) {
        return;
    }
    const std::uint32_t ownRateHz = sound_.original().header.sampleRateHz;
    // The player's rate is the same for every sound it plays: the last one chosen is proposed.
    const std::optional<std::string> answer
        = dialogs_->askText(text::resampleTitle, text::resampleQuestion(ownRateHz),
            lastRate_.empty() ? std::to_string(document_.header.sampleRateHz) : lastRate_);
    if (!answer) {
        return;
    }
    const std::optional<PlayerRate> rate = parsePlayerRate(*answer, AudioOutput::maxSampleRateHz);
    if (!rate) {
        dialogs_->message("Error", "can't resample this Sound to " + *answer,
            text::resampleRateDetail(AudioOutput::maxSampleRateHz));
        return;
    }
    lastRate_ = *answer;
    const std::uint32_t rateHz = rate->rateHz;
    if (rateHz == document_.header.sampleRateHz) {
        return;
    }
    releaseSilentOneBitSound();
    LoadedWave sound;
    std::string reason;
    clearMessage();
    const LoadStatus resampled = whileBusy([&](const std::function<bool(int)>& progress) {
        return sound_.atRate(rateHz, sound, reason, progress);
    });
    switch (resampled) {
    case LoadStatus::Loaded:
        break;
    case LoadStatus::Cancelled:
        window_.setText(control::progress, "Resampling cancelled");
        return;
    case LoadStatus::OutOfMemory:
        dialogs_->message("Error", "not enough memory");
        return;
    case LoadStatus::Unreadable:
    case LoadStatus::NotSupported:
        dialogs_->message(
            "Error", "can't resample this Sound to " + std::to_string(rateHz) + " Hz", reason);
        return;
    }
    // The selection keeps its place in the sound: its frames scale with the rate.
    const double scale = double(sound.header.sampleRateHz) / double(document_.header.sampleRateHz);
    document_.accept(std::move(sound));
    state_.selection
        = normalisedSelection({ roundHalfEven(double(state_.selection.first) * scale),
                                  roundHalfEven(double(state_.selection.end) * scale) },
            soundFrames());
    showSound();
    if (rate->cycles > 0) {
        window_.setText(control::progress, playerRateText(*rate));
    }
}

// The document's sound in the title, the wave slot, the strip and the labels.
void Shell::showSound()
{
    // A new sound is viewed from the cursor's column, the same part of it whatever its length.
    state_.viewStart = viewStartAtColumn(state_.cursorX, document_.frameCount());
    state_.redrawRequested = true;
    state_.figuresPending = false; // a one-bit sound still heard is not of this sound
    const WaveHeader& header = document_.header;
    std::string title = std::string(programTitle) + "  " + std::string(fileNamePart(loadedPath_));
    if (header.sampleRateHz != sound_.original().header.sampleRateHz) {
        title += " (" + std::to_string(header.sampleRateHz) + " Hz)";
    }
    window_.setTitle(title);
    loadWavePart(selectedPart());
    drawOverviewStrip(overviewStrip_, header, document_.data.bytes(), document_.frameCount());
    showSelection();
    const FileInfoTexts info = fileInfoTexts(header, document_.frameCount());
    window_.setText(control::rateLabel, info.rate);
    window_.setText(control::channelsLabel, info.channels);
    window_.setText(control::bitsLabel, info.bits);
    window_.setText(control::samplesLabel, info.samples);
    window_.setToolTip(control::samplesLabel, "");
    clearMessage();
}

// A silent one-bit sound lets go of its slot, and with it of the data it is made from.
void Shell::releaseSilentOneBitSound()
{
    if (!audio_.isPlaying(slotOneBit)) {
        releaseOneBitSound();
    }
}

// The one-bit sound stops, playing or not; the figures it owed are no longer wanted.
void Shell::releaseOneBitSound()
{
    audio_.unload(slotOneBit);
    oneBitSound_.reset();
    state_.slotStarted[slotOneBit] = false;
    state_.figuresPending = false;
}

// The one-bit sound of the selection is made as it plays, so it starts at once, and follows
// every later change of a setting. The figures come from their own pass meanwhile; the window
// waits for that pass, the sound does not.
void Shell::playOneBit()
{
    if (!document_.isLoaded()) {
        return;
    }
    releaseOneBitSound();
    auto sound = std::make_shared<LiveOneBitSound>(document_.header, document_.data.block,
        selectedBytes(), settings(), AudioOutput::maxServerChannels);
    if (audio_.loadStream(slotOneBit, sound)) {
        oneBitSound_ = std::move(sound);
        state_.slotFrameCounts[slotOneBit] = document_.frameCount();
        state_.slotFirstFrames[slotOneBit] = selectedPart().first;
    }
    play(slotOneBit);
    state_.figuresPart = state_.selection;
    showError(playFigures({ document_.header, document_.data }, state_.selection, settings()));
}

// Space: as Play 1Bit, or stops the one-bit sound while it plays.
void Shell::toggleOneBit()
{
    if (audio_.isPlaying(slotOneBit)) {
        audio_.stop(slotOneBit);
        state_.slotStarted[slotOneBit] = false;
        followPlayback();
    } else {
        playOneBit();
    }
}

void Shell::stopSounds()
{
    for (const int slot : { slotWave, slotOneBit }) {
        audio_.stop(slot);
    }
    state_.slotStarted = {};
    followPlayback();
}

void Shell::play(int slot)
{
    if (audio_.isLoaded(slot)) {
        state_.slotStarted[std::size_t(slot)] = true;
        audio_.play(slot);
        window_.tickEvery(playbackTick);
        followPlayback();
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

// A/B: while the one-bit sound plays, the original takes its place from the frame being made,
// and the next switch brings the one-bit sound back there; both go on meanwhile.
void Shell::switchAB()
{
    if (oneBitSound_ == nullptr || !audio_.isPlaying(slotOneBit)) {
        window_.setText(control::progress, text::switchABIdleText);
        return;
    }
    const bool original = !oneBitSound_->hearsOriginal();
    oneBitSound_->setHearsOriginal(original);
    window_.setText(
        control::progress, original ? text::hearingOriginalText : text::hearingOneBitText);
}

void Shell::showPendingFigures()
{
    if (!state_.figuresPending) {
        return;
    }
    state_.figuresPending = false;
    showError(playFigures({ document_.header, document_.data }, state_.figuresPart, settings()));
}

// The error and the audible SNR of the pass just run, for the settings shown.
void Shell::showError(const ConversionResult& result)
{
    window_.setText(control::samplesLabel, errorLabelText(result));
    window_.setToolTip(control::samplesLabel,
        std::string(text::errorToolTip)
            + (result.audibleSnrDb ? text::audibleSnrToolTip(*result.audibleSnrDb) : ""));
}

// The figures on screen speak of the settings they were made with: a change of a setting or of
// the modulator takes back the error of the last pass (the label shows the frame count again)
// and the last search's message.
void Shell::settingsChanged()
{
    if (!document_.isLoaded()) {
        return;
    }
    // The one-bit sound follows the controls; the next time it plays it starts with them too.
    if (oneBitSound_ != nullptr) {
        oneBitSound_->setSettings(settings());
        state_.figuresPending = audio_.isPlaying(slotOneBit);
    }
    window_.setText(
        control::samplesLabel, fileInfoTexts(document_.header, document_.frameCount()).samples);
    window_.setToolTip(control::samplesLabel, "");
    clearMessage();
}

// Follows the playing sounds with thin markers over the overview band, repainting only the
// band and only when a marker moves by a pixel; ticks stop once both sounds are silent.
void Shell::followPlayback()
{
    // With Loop Playback a sound that played to its end starts again.
    for (const int slot : { slotWave, slotOneBit }) {
        bool& started = state_.slotStarted[std::size_t(slot)];
        if (started && !audio_.isPlaying(slot)) {
            started = window_.menuChecked(menu::loopPlayback) && audio_.isLoaded(slot);
            if (started) {
                audio_.play(slot);
            }
        }
    }
    if (!audio_.isPlaying(slotOneBit)) {
        showPendingFigures();
    }
    const std::int64_t frameCount = document_.frameCount();
    std::vector<std::int64_t> playing;
    for (const int slot : { slotWave, slotOneBit }) {
        if (const std::int64_t heard = audio_.playingFrame(slot); heard >= 0) {
            const std::int64_t frame = state_.slotFirstFrames[std::size_t(slot)] + heard;
            // A sound made before Resample… has other frames than the loaded one: its marker
            // stands at the same fraction of the sound.
            const std::int64_t soundFrames = state_.slotFrameCounts[std::size_t(slot)];
            playing.push_back(soundFrames == frameCount || soundFrames < 1
                    ? frame
                    : roundHalfEven(double(frame) * double(frameCount) / double(soundFrames)));
        }
    }
    if (playing.empty()) {
        window_.tickEvery(std::chrono::milliseconds(0));
    }
    const auto column
        = [frameCount](std::int64_t frame) { return overviewColumnOf(frame, frameCount); };
    const bool moved = !std::ranges::equal(playing, state_.playingFrames, {}, column, column);
    state_.playingFrames = std::move(playing);
    if (moved && document_.isLoaded() && !state_.redrawRequested) {
        redrawOverviewBand(
            zoomView_, bandStrip_, frameCount, state_.viewStart, state_.playingFrames);
        window_.repaintImage(control::zoomImage,
            { 0, ZoomLayout::stripTopPx, ZoomLayout::widthPx, ZoomLayout::stripHeightPx });
    }
}

// No save replaces the loaded sound, and an existing file only when the user agrees.
std::string Shell::chooseSaveTarget(std::string_view title, std::string_view ending,
    std::string_view filter, std::span<const std::string_view> extensions, std::size_t& chosen)
{
    if (!document_.isLoaded() || !dialogs_) {
        return {};
    }
    const char* home = std::getenv("HOME");
    chosen = 0;
    const std::string name = dialogs_->saveFile(
        title, proposedSaveName(loadedPath_, ending, home ? home : ""), filter, &chosen);
    if (name.empty()) {
        return {};
    }
    chosen = std::min(chosen, extensions.size() - 1);
    const std::string path = withDefaultExtension(name, extensions[chosen]);
    if (FileIdentity::of(path).isSameFileAs(loadedFile_)) {
        dialogs_->message("Error", "can't create File", path + "\n\nThis is the loaded sound.");
        return {};
    }
    std::error_code ignored;
    if (std::filesystem::exists(path, ignored)
        && !dialogs_->question("Replace File",
            std::string(fileNamePart(path)) + " already exists. Do you want to replace it?",
            "Folder: " + std::filesystem::path(path).parent_path().string())) {
        return {};
    }
    return path;
}

// The sound in memory is read through a stream, as the command line reads its file; the export's
// progress moves the bar, which is empty again at the end of the pass.
void Shell::writeOutputs(const OutputRequest& request, const std::string& path, bool showsProgress)
{
    ProgressCallback progress;
    if (showsProgress) {
        progress = [this](int percent) { window_.setValue(control::progress, percent); };
    }
    const RunOutcome outcome = withLoadedPart({ document_.header, document_.data },
        state_.selection,
        [&](SampleStream& input) { return OutputRun(request).run(input, settings(), progress); });
    if (showsProgress && outcome.failure != RunFailure::ExportNotCreated) {
        window_.setValue(control::progress, 0);
    }
    showSaveOutcome(outcome, path, request.exportFormat != nullptr);
}

// A file that could not be created leaves everything as it was; otherwise the pass's error is
// shown, written or not. The one-bit sound is never touched by a save.
void Shell::showSaveOutcome(const RunOutcome& outcome, const std::string& path, bool isExport)
{
    if (outcome.failure == RunFailure::ExportNotCreated
        || outcome.failure == RunFailure::WavNotCreated) {
        dialogs_->message("Error", "can't create File", path);
        return;
    }
    showError(outcome.result);
    if (outcome.failure != RunFailure::None) {
        dialogs_->message("Error", "can't write File", path);
        return;
    }
    dialogs_->fileUsed(path);
    // Where the user looks after a save: what was written, the whole path in the tool tip.
    std::error_code unknownSize;
    std::uintmax_t fileBytes = std::filesystem::file_size(path, unknownSize);
    fileBytes = unknownSize ? 0 : fileBytes;
    if (isExport) {
        const PlayerSourceSize size = PlayerSourceWriter::textSize(outcome.result.frameCount);
        window_.setText(control::progress, text::exportedText(size));
        window_.setToolTip(control::progress, text::exportedToolTip(path, size, fileBytes));
    } else {
        window_.setText(control::progress, text::savedText(fileBytes));
        window_.setToolTip(control::progress, path);
    }
}

// The prefix every entry label of later exports gets, so that the exports of several sounds go
// into one program; kept until the program ends.
void Shell::askLabelPrefix()
{
    if (!dialogs_) {
        return;
    }
    const std::optional<std::string> answer
        = dialogs_->askText("Export Label Prefix", text::labelPrefixQuestion, labelPrefix_);
    if (!answer) {
        return;
    }
    if (!playerSourceFormat().takesLabelPrefix(*answer)) {
        dialogs_->message(
            "Error", "can't use " + *answer + " as a label prefix", text::labelPrefixQuestion);
        return;
    }
    labelPrefix_ = *answer;
    showInfoToolTip("");
}

void Shell::exportPlayerSource()
{
    exportAs(playerSourceFormat());
}

// The dialog's file types choose the format, the player source first.
void Shell::exportAs(const ExportFormat& proposed)
{
    std::string filters;
    std::vector<std::string_view> extensions;
    std::vector<const ExportFormat*> formats { &proposed };
    for (const ExportFormat& format : exportFormats()) {
        if (&format != &proposed) {
            formats.push_back(&format);
        }
    }
    for (const ExportFormat* format : formats) {
        filters += (filters.empty() ? "" : ";;") + std::string(format->dialogFilter);
        extensions.push_back(format->extension);
    }
    std::size_t chosen = 0;
    const std::string path
        = chooseSaveTarget(proposed.dialogTitle, proposed.extension, filters, extensions, chosen);
    if (path.empty()) {
        return;
    }
    const ExportFormat& format = *formats[chosen];
    clearMessage();
    OutputRequest request;
    request.exportFormat = &format;
    request.exportPath = path;
    request.exportOptions.labelPrefix = labelPrefix_;
    request.measures = true;
    writeOutputs(request, path, true);
}

// The one-bit sound as a WAV file: the same bytes as ticktrace-convert --wav writes.
void Shell::saveOneBitSound()
{
    constexpr std::string_view extensions[] = { ".wav" };
    std::size_t chosen = 0;
    const std::string path
        = chooseSaveTarget("Save 1Bit Sound", "-1bit.wav", "*.wav|*.wav", extensions, chosen);
    if (path.empty()) {
        return;
    }
    OutputRequest request;
    request.wavPath = path;
    request.measures = true;
    writeOutputs(request, path, false);
}

void Shell::findBestSettings(SearchScope scope)
{
    if (!document_.isLoaded()) {
        return;
    }
    const ModulatorSettings start = settings();
    clearMessage();
    // The search runs on worker threads; Escape cancels it.
    const SearchResult result = whileBusy([&](const std::function<bool(int)>& progress) {
        return findSettings(document_.header, selectedBytes(), start, scope, progress);
    });
    if (result.cancelled) {
        window_.setText(control::progress, "Search cancelled");
        return;
    }
    settingsChanged();
    window_.setValue(control::value1Trackbar, result.value1);
    window_.setValue(control::value1Spin, result.value1);
    window_.setValue(control::value2Trackbar, result.value2);
    window_.setValue(control::value2Spin, result.value2);
    window_.setValue(control::volumeTrackbar, result.volume);
    if (result.volume != start.volume) {
        window_.setText(control::volumeField, volumeText(result.volume));
    }
    state_.redrawRequested = true;
    const std::string report = searchReportText(result, start, scope);
    window_.setText(control::progress, searchSummaryText(result));
    window_.setToolTip(control::progress, report);
    showInfoToolTip(report);
}

// The progress bar's message and the search's part of the tool tips tell about the last search
// only.
void Shell::clearMessage()
{
    window_.setText(
        control::progress, selectionText(state_.selection, document_.header.sampleRateHz));
    window_.setToolTip(control::progress, selectionToolTip(state_.selection, soundFrames()));
    showInfoToolTip("");
}

// The information box's tool tip: where a decoded or resampled sound came from, the size of the
// loaded sound's export, then the last search's report if there is one.
void Shell::showInfoToolTip(const std::string& searchReport)
{
    std::string text;
    if (document_.isLoaded()) {
        // What the export of the selection takes, or of the whole sound without one.
        const std::int64_t convertedFrames = frameCount(document_.header, selectedBytes().size());
        text = sound_.originText(document_.header.sampleRateHz);
        text += (text.empty() ? "" : "\n\n")
            + text::exportSizeToolTip(
                PlayerSourceWriter::textSize(convertedFrames, labelPrefix_.size()));
    }
    if (!searchReport.empty()) {
        text += (text.empty() ? "" : "\n\n") + searchReport;
    }
    window_.setToolTip(control::infoBox, text);
}

void Shell::redraw()
{
    if (redrawZoomView(zoomView_, bandStrip_, document_.header, document_.data, settings(),
            state_.viewStart, state_.playingFrames)) {
        window_.showImage(control::zoomImage, zoomView_);
        ++redrawCount_;
    }
}

} // namespace tt
