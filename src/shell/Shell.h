#pragma once
// The program's event loop: it owns the window, the two off-screen images and the loaded sound,
// and dispatches every user event to the loader, the conversion, the export, the audio output
// and the zoom view. Everything runs to completion on this one thread.

#include "app/LiveOneBitSound.h"
#include "app/SoundOpening.h"
#include "export/FileIdentity.h"
#include "image/Image.h"
#include "modulator/ConversionResult.h"
#include "modulator/ModulatorSettings.h"
#include "platform/toolkit/Event.h"
#include "platform/toolkit/Window.h"
#include "search/SettingsSearch.h"
#include "shell/ShellState.h"
#include "shell/WindowLayout.h"
#include "view/ZoomLayout.h"
#include "wave/WaveDocument.h"
#include "wave/overview/OverviewLayout.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tt {

class AudioOutput;
class Dialogs;
struct ExportFormat;
struct OutputRequest;
struct RunOutcome;

class Shell {
public:
    // Creates the images and the window with all its controls (not yet shown). The audio
    // output should already be open; a closed one only means silence.
    explicit Shell(AudioOutput& audio);
    ~Shell();

    Window& window() { return window_; }
    void setDialogs(std::unique_ptr<Dialogs> dialogs);

    // Shows the window and handles events until the user quits.
    void run();

    // Loads the file as Open Wave does once a file is chosen (the file named on the command
    // line): a refused or unreadable file is told, and the loaded sound stays. True when it was
    // loaded; the zoom view is then redrawn.
    bool openFile(const std::string& path);

    // Handles one event, then redraws the zoom view if the event asked for it. False when the
    // event ends the program.
    bool dispatch(const Event& event);

    const ShellState& state() const { return state_; }
    const WaveDocument& document() const { return document_; }
    const Image& zoomView() const { return zoomView_; }
    const Image& overviewStrip() const { return overviewStrip_; }
    int redrawCount() const { return redrawCount_; }

    // The settings as the controls show them now.
    ModulatorSettings settings() const;

private:
    bool handle(const Event& event);
    void handleControl(const Event& event);
    void handleKey(const Event& event);
    void volumeTyped(bool finished);
    void refuseDrop(const std::string& paths);
    void startDrag(Point pointer);
    void dragView(Point pointer);
    // Places the view from the pointer's column, limited to the band's ends.
    void moveCursor(int pointerX);
    void moveView(std::int64_t viewStart);
    // Shift+press, move and release in the band: marking the selection.
    void startMarking(Point pointer);
    void markTo(Point pointer);
    void endMarking();
    void setSelection(FrameRange selection);
    // The strip with the selection shaded into the band at the next redraw.
    void showSelection();
    void trimSilence();
    // The frames a selection counts in (framesHeld of the loaded sound).
    std::int64_t soundFrames() const;
    // The selection, or the whole sound without one.
    FrameRange selectedPart() const;
    std::span<const std::uint8_t> selectedBytes() const;
    // The wave slot takes these frames of the loaded sound.
    void loadWavePart(FrameRange part);
    void playFromView();
    void openWave();
    bool loadFile(const std::string& path);
    void resample();
    template <class Task> auto whileBusy(Task&& task);
    void showSound();
    void releaseSilentOneBitSound();
    void releaseOneBitSound();
    void playOneBit();
    void toggleOneBit();
    void play(int slot);
    void stopSounds();
    void followPlayback();
    void switchAB();
    // Shows the figures of the settings the one-bit sound ended with, where a change while it
    // played took them back; the sound has stopped.
    void showPendingFigures();
    void showError(const ConversionResult& result);
    void exportPlayerSource();
    void askLabelPrefix();
    void exportAs(const ExportFormat& format);
    void findBestSettings(SearchScope scope);
    void settingsChanged();
    void clearMessage();
    void showInfoToolTip(const std::string& searchReport);
    void saveOneBitSound();
    // The path a save writes to, chosen by the user; empty when nothing is to be written.
    // The dialog offers the filters (joined by ";;"); the extension of the one chosen (in
    // `chosen`) is added to a name without one.
    std::string chooseSaveTarget(std::string_view title, std::string_view ending,
        std::string_view filter, std::span<const std::string_view> extensions, std::size_t& chosen);
    // Runs the outputs over the loaded sound (the core's one pass) and shows how it went.
    void writeOutputs(const OutputRequest& request, const std::string& path, bool showsProgress);
    void showSaveOutcome(const RunOutcome& outcome, const std::string& path, bool isExport);
    void redraw();

    AudioOutput& audio_;
    Image zoomView_ { ZoomLayout::widthPx, ZoomLayout::heightPx };
    Image overviewStrip_ { OverviewLayout::widthPx, OverviewLayout::heightPx };
    // The strip with the selection shaded, which the zoom view's band copies.
    Image bandStrip_ { OverviewLayout::widthPx, OverviewLayout::heightPx };
    Window window_;
    std::unique_ptr<Dialogs> dialogs_;
    WaveDocument document_;
    FileIdentity loadedFile_; // of document_'s file when it was loaded: no export replaces it
    std::string loadedPath_; // absolute; the save dialogs propose names beside it
    std::string lastRate_; // as the user last gave it to Resample…, proposed for the next sound
    std::string labelPrefix_; // in front of every entry label the export writes
    // The file's sound as it was loaded: document_ holds it or, after Resample…, the sound
    // resampled from it (a later Resample… starts from here again).
    FileSound sound_;
    // The one-bit sound in its slot, made as it plays; null when the slot is empty.
    std::shared_ptr<LiveOneBitSound> oneBitSound_;
    ShellState state_;
    int redrawCount_ = 0;
};

} // namespace tt
