#include "view/ZoomView.h"

#include "modulator/PinModel.h"
#include "modulator/WholeFileConversion.h"
#include "text/TextFormat.h"
#include "view/ViewPlacement.h"
#include "view/ZoomTestData.h"
#include "wave/FrameReader.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <span>
#include <vector>

namespace tt {
namespace {

    using testing::makeSilence16;
    using testing::makeWave;
    using testing::TestWave;

    constexpr Rgb background { 32, 32, 32 };
    constexpr Rgb grey { 128, 128, 128 };
    constexpr Rgb bar { 32, 128, 32 };
    constexpr Rgb red { 255, 0, 0 };
    constexpr Rgb green { 0, 255, 0 };
    constexpr Rgb digitOne { 64, 255, 0 };
    constexpr Rgb digitZero { 128, 128, 0 };
    constexpr Rgb stripColour { 0, 0, 200 };
    constexpr Rgb playBlue { 0, 96, 255 };

    Image makeStrip()
    {
        Image strip(600, 100);
        strip.fillBox(0, 0, 600, 100, stripColour);
        strip.fillBox(0, 50, 600, 1, Rgb { 10, 20, 30 });
        return strip;
    }

    Image renderAt(const TestWave& wave, const ModulatorSettings& settings, std::int64_t viewStart,
        std::vector<std::int64_t> playingFrames = {})
    {
        Image zoom(600, 300);
        EXPECT_TRUE(redrawZoomView(
            zoom, makeStrip(), wave.header, wave.data, settings, viewStart, playingFrames));
        return zoom;
    }

    Image render(const TestWave& wave, const ModulatorSettings& settings, int cursorX)
    {
        const std::int64_t frames = std::int64_t(wave.data.sizeBytes) / wave.header.bytesPerFrame();
        return renderAt(wave, settings, viewStartAtColumn(cursorX, frames));
    }

    // A slow sine: the input and model lines then move less than a column width per frame, so
    // each model line meets a column edge in exactly one pixel.
    TestWave slowSine16(int channelCount, std::int64_t frames)
    {
        return makeWave(16, channelCount, frames, [](std::int64_t f, int c) {
            return int(std::lround(20000.0 * std::sin(double(f) * 0.1 + c)));
        });
    }

    bool regionHas(const Image& image, int x0, int y0, int x1, int y1, Rgb colour)
    {
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                if (image.pixel(x, y) == colour) {
                    return true;
                }
            }
        }
        return false;
    }

    std::set<int> rowsOf(const Image& image, int x, Rgb colour)
    {
        std::set<int> rows;
        for (int y = 0; y < 200; ++y) {
            if (image.pixel(x, y) == colour) {
                rows.insert(y);
            }
        }
        return rows;
    }

    // The bit digit of column i: true for "1", false for "0"; fails when the cell holds neither
    // or both colours.
    bool digitOf(const Image& image, int column)
    {
        const int left = 15 * column;
        const bool one = regionHas(image, left + 4, 180, left + 14, 199, digitOne);
        const bool zero = regionHas(image, left + 4, 180, left + 14, 199, digitZero);
        EXPECT_NE(one, zero) << "column " << column;
        return one;
    }

    // Columns from x on show only the background and the three reference lines.
    void expectEmptyPlotFrom(const Image& image, int firstX)
    {
        for (int y = 0; y < 200; ++y) {
            const Rgb expected = (y == 10 || y == 100 || y == 180) ? grey : background;
            for (int x = firstX; x < 600; ++x) {
                ASSERT_EQ(image.pixel(x, y), expected) << x << "," << y;
            }
        }
    }

    // Rows 200 ... 299 are the strip, apart from the red marker columns and the blue play
    // marker columns.
    void expectStripWithMarker(
        const Image& image, std::set<int> markerColumns, std::set<int> playColumns = {})
    {
        const Image strip = makeStrip();
        for (int y = 200; y < 300; ++y) {
            for (int x = 0; x < 600; ++x) {
                const Rgb expected = playColumns.contains(x) ? playBlue
                    : markerColumns.contains(x)              ? red
                                                             : strip.pixel(x, y - 200);
                ASSERT_EQ(image.pixel(x, y), expected) << x << "," << y;
            }
        }
    }

    struct ModelRun {
        std::vector<double> levels;
        std::vector<bool> bits;
    };

    // The pin model from rest over frames first ... first + count - 1, as a conversion pass runs
    // it.
    ModelRun runModel(const TestWave& wave, const ModulatorSettings& settings, std::int64_t first,
        std::int64_t count)
    {
        PinModel model(settings, wave.header);
        ModelRun run;
        for (std::int64_t f = first; f < first + count; ++f) {
            const std::uint8_t* frame = wave.data.block->data() + f * wave.header.bytesPerFrame();
            model.step(model.targetOf(readChannels(frame, wave.header)));
            run.levels.push_back(model.modelLevel);
            run.bits.push_back(model.outputBit());
        }
        return run;
    }

    // The run a conversion of the file from frame `first` on gives, replayed through the pin:
    // what the view must show with the look-ahead modulator.
    ModelRun convertedRun(
        const TestWave& wave, const ModulatorSettings& settings, std::int64_t first)
    {
        struct BitRecorder {
            std::vector<bool> bits;
            void takeBit(bool bit, std::int64_t) { bits.push_back(bit); }
        } recorder;
        const std::span<const std::uint8_t> data
            = wave.data.bytes().subspan(std::size_t(first * wave.header.bytesPerFrame()));
        std::vector<std::uint8_t> image(data.size());
        convertWholeFile(wave.header, data, settings, image, recorder);
        ModelRun run;
        PinModel player(settings, wave.header);
        for (const bool bit : recorder.bits) {
            player.drive(bit);
            run.levels.push_back(player.modelLevel);
            run.bits.push_back(bit);
        }
        return run;
    }

    int plotRow16(double level)
    {
        return int(roundHalfEven(level * (180.0 / 65536.0) + 100.0));
    }

    // Columns 0 ... columns - 1 show the model run from viewStart - preRoll: at each column's
    // right edge the model line has one pixel, on the row of the frame's level, and the digit is
    // the frame's bit.
    void expectModelDrawn(const Image& zoom, const TestWave& wave,
        const ModulatorSettings& settings, ViewPlacement placement, int columns)
    {
        const std::int64_t first = placement.viewStart - placement.preRollFrames;
        const ModelRun run = settings.modulator == ModulatorKind::LookAhead
            ? convertedRun(wave, settings, first)
            : runModel(wave, settings, first, placement.preRollFrames + columns);
        for (int i = 0; i < columns; ++i) {
            const std::size_t k = std::size_t(placement.preRollFrames + i);
            if (15 * (i + 1) < 600) {
                EXPECT_EQ(
                    rowsOf(zoom, 15 * (i + 1), green), std::set<int> { plotRow16(run.levels[k]) })
                    << "column " << i;
            }
            EXPECT_EQ(digitOf(zoom, i), bool(run.bits[k])) << "column " << i;
        }
    }

    TEST(ZoomView, LookAheadShowsTheBitsOfAConversionFromTheModelStart)
    {
        // At the start of the file these are the export's first bits. Near its end the search
        // runs out of frames before its delay and the rest comes from its flush.
        const auto noisySine = [](std::int64_t frames) {
            return makeWave(16, 1, frames, [](std::int64_t f, int) {
                return int(std::lround(20000.0 * std::sin(double(f) * 0.3)))
                    + int((f * 7919) % 9001) - 4500;
            });
        };
        ModulatorSettings settings;
        settings.modulator = ModulatorKind::LookAhead;
        const struct {
            TestWave wave;
            int cursorX;
            ViewPlacement placement;
            int columns;
        } cases[] = {
            { noisySine(9600), 0, { 0, 0 }, 40 },
            { noisySine(60), 0, { 0, 0 }, 40 },
            { noisySine(24), 0, { 0, 0 }, 24 },
            { noisySine(600000), 299, { 299984, 16 }, 40 },
            { noisySine(600000), 599, { 599984, 16 }, 16 },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message()
                << c.wave.data.sizeBytes / 2 << " frames, cursor " << c.cursorX);
            expectModelDrawn(
                render(c.wave, settings, c.cursorX), c.wave, settings, c.placement, c.columns);
        }
    }

    TEST(ZoomView, NothingLoadedLeavesTheImageAlone)
    {
        Image zoom(600, 300);
        zoom.fillBox(100, 50, 300, 200, Rgb { 1, 2, 3 });
        const Image before = zoom;
        const TestWave wave = makeSilence16(64);
        ChunkHeader empty;
        EXPECT_FALSE(redrawZoomView(zoom, makeStrip(), wave.header, empty, {}, 0));
        empty.block = std::make_shared<const SampleBytes>();
        EXPECT_FALSE(redrawZoomView(zoom, makeStrip(), wave.header, empty, {}, 0));
        EXPECT_EQ(std::memcmp(zoom.pixels(), before.pixels(), 600 * 300 * 4), 0);
    }

    TEST(ZoomView, StartOfFileMatchesTheModelRunFromFrameZero)
    {
        const TestWave wave = slowSine16(2, 9600);
        const ModulatorSettings settings;
        const Image zoom = render(wave, settings, 0);

        expectModelDrawn(zoom, wave, settings, { 0, 0 }, 40);
        // The first column starts both lines from rest, at level 0.
        EXPECT_EQ(zoom.pixel(0, 100), green);
        for (int x = 0; x < 600; x += 15) {
            const bool gridLine = x % 120 == 0;
            EXPECT_EQ(zoom.pixel(x, 30), gridLine ? grey : background) << x;
            EXPECT_EQ(zoom.pixel(x, 195), gridLine ? grey : bar) << x;
            // Labels hang from row 10 beside the grid lines only.
            EXPECT_EQ(regionHas(zoom, x + 3, 11, x + 14, 28, grey), gridLine) << x;
        }
        expectStripWithMarker(zoom, { 0, 1 });
    }

    TEST(ZoomView, ViewInsideALongFileUsesThePreRoll)
    {
        const TestWave wave = slowSine16(1, 600000);
        const ModulatorSettings settings;

        const Image middle = render(wave, settings, 299);
        expectModelDrawn(middle, wave, settings, { 299984, 16 }, 40);
        expectStripWithMarker(middle, { 299, 300, 301 });

        // At the far right the view ends with the last frame after 16 columns.
        const Image end = render(wave, settings, 599);
        expectModelDrawn(end, wave, settings, { 599984, 16 }, 16);
        expectEmptyPlotFrom(end, 241);
        expectStripWithMarker(end, { 599 });
    }

    TEST(ZoomView, KeyPlacedViewsAreDrawnAtTheirFrame)
    {
        const TestWave wave = slowSine16(1, 600000);
        const ModulatorSettings settings;
        // Frame 8: the model runs in over the 8 frames before it.
        const Image early = renderAt(wave, settings, 8);
        expectModelDrawn(early, wave, settings, { 8, 8 }, 40);
        expectStripWithMarker(early, { 0, 1 });
        // Past the last view the last view is drawn.
        const Image beyond = renderAt(wave, settings, 700000);
        expectModelDrawn(beyond, wave, settings, { 599984, 16 }, 16);
        expectStripWithMarker(beyond, { 599 });
    }

    TEST(ZoomView, PlayingFramesGetAThinMarkerOverTheStrip)
    {
        const TestWave wave = slowSine16(1, 6000);
        struct Case {
            std::vector<std::int64_t> playingFrames;
            std::set<int> playColumns;
        };
        const Case cases[] = {
            { {}, {} }, { { 0 }, { 0 } }, { { 3000 }, { 300 } },
            { { 3004, 3005 }, { 300 } }, // 300.4 rounds down, 300.5 to even
            { { 1234, 5999 }, { 123, 599 } }, // a wave and a one-bit sound at once
            { { 6000 }, { 599 } }, // the end of the sound stays in the strip
        };
        for (const Case& c : cases) {
            const Image zoom = renderAt(wave, {}, 2992, c.playingFrames);
            expectStripWithMarker(zoom, { 298, 299, 300 }, c.playColumns);
            // The band alone, redrawn over a changed image, gives the same rows.
            Image band(600, 300);
            band.fillBox(0, 200, 600, 100, Rgb { 9, 9, 9 });
            redrawOverviewBand(band, makeStrip(), 6000, 2992, c.playingFrames);
            expectStripWithMarker(band, { 298, 299, 300 }, c.playColumns);
        }
    }

    TEST(ZoomView, ShortFileDrawsOneColumnPerFrameWhereverTheCursorIs)
    {
        const TestWave wave = slowSine16(1, 24);
        const ModulatorSettings settings;
        const Image zoom = render(wave, settings, 0);
        expectModelDrawn(zoom, wave, settings, { 0, 0 }, 24);
        expectEmptyPlotFrom(zoom, 361);
        for (const int cursorX : { 300, 599 }) {
            const Image other = render(wave, settings, cursorX);
            EXPECT_EQ(std::memcmp(zoom.pixels(), other.pixels(), 600 * 300 * 4), 0) << cursorX;
        }
    }

    TEST(ZoomView, DataTooShortForAFrameDrawsOnlyTheFrame)
    {
        // 8 bytes of 16-bit mono hold 4 samples, but frames are counted in eights.
        const TestWave wave = makeSilence16(4);
        const Image zoom = render(wave, {}, 300);
        expectEmptyPlotFrom(zoom, 0);
        expectStripWithMarker(zoom, {});
    }

    TEST(ZoomView, WideFramesAreSteppedOverWhole)
    {
        // Channels 3 and 4 are loud noise that must neither be read as channels 1 and 2 nor move
        // the frame position; the last frame ends at the end of the block.
        const TestWave wave = makeWave(16, 4, 64, [](std::int64_t f, int c) {
            return c < 2 ? int(std::lround(20000.0 * std::sin(double(f) * 0.1 + c)))
                         : ((f * 7919 + c * 104729) % 65536) - 32768;
        });
        const ModulatorSettings settings;
        expectModelDrawn(render(wave, settings, 0), wave, settings, { 0, 0 }, 40);
        const Image end = render(wave, settings, 599);
        expectModelDrawn(end, wave, settings, { 48, 16 }, 16);
        expectEmptyPlotFrom(end, 241);
    }

    TEST(ZoomView, SilenceTogglesTheBitAroundLevelZero)
    {
        const Image zoom = render(makeSilence16(9600), {}, 0);
        for (int i = 0; i < 40; ++i) {
            EXPECT_EQ(digitOf(zoom, i), i % 2 == 0) << i;
        }
        for (int x = 0; x < 600; ++x) {
            for (const int row : rowsOf(zoom, x, green)) {
                EXPECT_GE(row, 97) << x;
                EXPECT_LE(row, 101) << x;
            }
        }
    }

    std::set<int> greenRowsOfPlot(const Image& zoom)
    {
        std::set<int> rows;
        for (int x = 0; x < 600; ++x) {
            rows.merge(rowsOf(zoom, x, green));
        }
        return rows;
    }

    TEST(ZoomView, EightBitDefaultsSwingBetweenTheLimits)
    {
        const TestWave wave = makeWave(8, 1, 9600, [](std::int64_t, int) { return 0x80; });
        const std::set<int> rows = greenRowsOfPlot(render(wave, {}, 0));
        EXPECT_TRUE(rows.contains(10));
        EXPECT_TRUE(rows.contains(190));
        EXPECT_GE(*rows.begin(), 10);
        EXPECT_LE(*rows.rbegin(), 190);
    }

    TEST(ZoomView, LoudInputLeavesThePlotButTheModelStaysInside)
    {
        // Full-scale square wave, 8 frames at each extreme.
        const TestWave wave = makeWave(
            16, 1, 9600, [](std::int64_t f, int) { return (f / 8) % 2 == 0 ? -32768 : 32767; });
        ModulatorSettings settings;
        settings.volume = 400;
        settings.value2 = 32767;
        const Image zoom = render(wave, settings, 0);
        EXPECT_TRUE(regionHas(zoom, 0, 0, 599, 0, red));
        EXPECT_TRUE(regionHas(zoom, 0, 199, 599, 199, red));
        const std::set<int> rows = greenRowsOfPlot(zoom);
        EXPECT_EQ(*rows.begin(), 10);
        EXPECT_EQ(*rows.rbegin(), 190);
    }

    TEST(ZoomView, InfiniteLeakSwingsFromTheTopLimitOn)
    {
        ModulatorSettings settings;
        settings.value1 = 9000;
        const Image zoom = render(makeSilence16(9600), settings, 0);
        for (int i = 0; i < 39; ++i) {
            // Steep lines: the column edge holds the end of each line, which meet on the limit.
            const std::set<int> rows = rowsOf(zoom, 15 * (i + 1), green);
            EXPECT_TRUE(rows.contains(i % 2 == 0 ? 190 : 10)) << i;
            EXPECT_FALSE(rows.contains(i % 2 == 0 ? 10 : 190)) << i;
            EXPECT_EQ(digitOf(zoom, i), i % 2 == 1) << i;
        }
    }

} // namespace
} // namespace tt
