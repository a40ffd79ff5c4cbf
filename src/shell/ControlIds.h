#pragma once

#include "modulator/ModulatorKind.h"
// Ids of the main window's controls and numbers of its menu items. The numbers are part of the
// window's layout table and are kept stable.

namespace tt::control {

constexpr int zoomImage = 0;
constexpr int value2Trackbar = 1;
constexpr int value2Spin = 2;
constexpr int value1Trackbar = 3;
constexpr int value1Spin = 4;
constexpr int volumeTrackbar = 5;
constexpr int volumeField = 6;
constexpr int playWave = 9;
constexpr int playOneBit = 10;
constexpr int stop = 11;
constexpr int progress = 12;
constexpr int rateLabel = 13;
constexpr int channelsLabel = 14;
constexpr int bitsLabel = 15;
constexpr int samplesLabel = 16; // the sample count after loading, the mean error after a pass
constexpr int infoBox = 30; // the sunken box around the four labels above

} // namespace tt::control

namespace tt::menu {

constexpr int openWave = 7;
constexpr int exportPlayerSource = 8; // the menu item reads "Export Beepster"
constexpr int quit = 17;
// The modulators' choice items, one per kind in the order of their table (modulatorKinds), from
// this number on.
constexpr int firstModulator = 100;
constexpr int modulatorItem(ModulatorKind kind)
{
    return firstModulator + int(kind);
}
constexpr int findBestSettings = 20;
constexpr int saveOneBitSound = 31;
constexpr int about = 32;
constexpr int resample = 33;
constexpr int findBestVolume = 34; // Find Best Settings for a fixed circuit: the Volume alone
// The selection, a part of the sound that playing, the saves and the search take.
constexpr int setStart = 35;
constexpr int setEnd = 36;
constexpr int selectAll = 37;
constexpr int trimSilence = 38;
constexpr int playFromView = 39; // the loaded sound from the view's first frame
constexpr int loopPlayback = 40; // a sound played to its end starts again
constexpr int labelPrefix = 41; // asks for the prefix of the export's entry labels
// While the one-bit sound plays: hear the original at the same place, or the one-bit sound again.
constexpr int switchAB = 42;

} // namespace tt::menu
