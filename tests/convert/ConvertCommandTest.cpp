// The executable against the window's code path: same loader, same pass, same text writer. Then
// the parts a child process cannot show: the terminal progress line and the clean-up on interrupt.

#include "ConvertProcess.h"
#include "convert/lib/ConversionRun.h"
#include "convert/lib/InterruptCleanup.h"
#include "decode/EncodedSound.h"
#include "export/FileSizeLimit.h"
#include "export/PlayerSourceBits.h"
#include "export/PlayerSourceExport.h"
#include "export/PlayerSourceWriter.h"
#include "modulator/AudibleSnr.h"
#include "modulator/SegmentalSnr.h"
#include "modulator/WholeFileConversion.h"
#include "text/TextFormat.h"
#include "wave/FileInfo.h"
#include "wave/WaveBytes.h"
#include "wave/WaveDocument.h"
#include "wave/WaveImage.h"
#include "wave/WaveLoader.h"

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tt {
namespace {

    namespace fs = std::filesystem;
    using testing::Bytes;

    // --info's last line before the origin lines: the export's size for that many frames.
    std::string exportLine(std::int64_t frameCount)
    {
        return "Export: " + playerSourceSizeText(PlayerSourceWriter::textSize(frameCount)) + "\n";
    }
    using testing::fileText;
    using testing::runConvert;

    // A tone with a slow sweep and some pseudo-random noise, so the bits are far from regular.
    Bytes tone(std::int64_t frames, int channels, int bits)
    {
        Bytes samples;
        std::uint32_t noise = 99;
        for (std::int64_t f = 0; f < frames; ++f) {
            const double t = double(f) / 22050.0;
            const double level = 0.6 * std::sin(6.2831853 * (200.0 + 300.0 * t) * t);
            for (int c = 0; c < channels; ++c) {
                noise = noise * 1664525u + 1013904223u;
                const double v = level * (c == 0 ? 1.0 : 0.7) + double(noise >> 24) / 2560.0;
                if (bits == 8) {
                    samples.push_back(std::uint8_t(128 + std::lround(v * 100.0)));
                } else {
                    testing::putU16(samples, std::uint16_t(std::int16_t(std::lround(v * 30000.0))));
                }
            }
        }
        return samples;
    }

    // What the window shows and writes for the file: export text, image and the info lines.
    struct WindowOutcome {
        std::string text;
        Bytes image;
        std::string infoLines;
    };

    WindowOutcome windowExport(
        const std::string& wavPath, const ModulatorSettings& settings, const fs::path& textPath)
    {
        WindowOutcome outcome;
        LoadedWave loaded;
        WaveDocument document;
        EXPECT_EQ(loadWaveFile(wavPath, loaded), LoadStatus::Loaded);
        document.accept(std::move(loaded));
        WaveImage oneBit;
        EXPECT_TRUE(oneBit.prepare(document.header, document.data.sizeBytes));
        ConversionResult result;
        EXPECT_EQ(exportPlayerSource(textPath.string(), document.header, document.data.bytes(),
                      settings, oneBit.sampleArea(), result),
            ExportStatus::Written);
        outcome.text = fileText(textPath);
        outcome.image.assign(oneBit.bytes().begin(), oneBit.bytes().end());
        const FileInfoTexts info = fileInfoTexts(document.header, document.frameCount());
        const double snrDb
            = segmentalSnrDb(document.header, document.data.bytes(), settings, oneBit.sampleArea());
        const double audibleDb
            = audibleSnrDb(document.header, document.data.bytes(), settings, oneBit.sampleArea());
        outcome.infoLines = info.rate + "\n" + info.channels + "\n" + info.bits + "\n"
            + info.samples + "\n" + errorLabelText(result) + "\nSNR: " + formatFixed(snrDb, 2)
            + " dB\nAudible SNR: " + formatFixed(audibleDb, 2) + " dB\nModulator: "
            + (settings.modulator == ModulatorKind::LookAhead ? "look-ahead" : "greedy") + "\n"
            + exportLine(document.frameCount());
        return outcome;
    }

    class ConvertCommand : public ::testing::Test {
    protected:
        std::string input(const std::string& name, int channels, int bits, std::int64_t frames)
        {
            return files.write(name,
                testing::canonicalWave({ 1, std::uint32_t(channels), 22050, std::uint32_t(bits) },
                    tone(frames, channels, bits)));
        }
        std::string path(const std::string& name) const { return (files.dir() / name).string(); }
        std::size_t entries() const { return testing::entryCount(files.dir()); }

        testing::TempFiles files;
    };

    TEST_F(ConvertCommand, OutputsEqualTheWindowsForDefaultAndOtherSettings)
    {
        struct Case {
            int channels, bits;
            std::vector<std::string> options;
            ModulatorSettings settings;
            // Three blocks and then some, with a frame count that is not a multiple of 8.
            std::int64_t frames = 3 * 498 * 16 + 805;
        };
        const Case cases[] = {
            { 2, 16, {}, {} },
            { 2, 16, { "--value1", "8000", "--value2=250", "--volume", "2.675" },
                { 8000, 250, 268 } },
            { 1, 8, { "--value1=1", "--value2", "32767", "--volume=0.5" }, { 1, 32767, 50 } },
            { 1, 16, { "--volume", "4.004" }, { 3000, 1000, 400 } },
            { 2, 16, { "--modulator", "lookahead", "--value1=8000" },
                { 8000, 1000, 100, ModulatorKind::LookAhead } },
            { 1, 8, { "--modulator=lookahead", "--value2", "12" },
                { 3000, 12, 100, ModulatorKind::LookAhead } },
            { 1, 16, { "--modulator=greedy" }, {} },
            // More than one piece of input, split where no frame count is round, and the
            // look-ahead's delay across the border.
            { 3, 16, {}, {}, 200001 },
            { 2, 16, { "--modulator=lookahead" }, { 3000, 1000, 100, ModulatorKind::LookAhead },
                300001 },
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.channels << " ch " << c.bits << " bit, "
                                              << ::testing::PrintToString(c.options));
            const std::string wav = input("in.wav", c.channels, c.bits, c.frames);
            const WindowOutcome window = windowExport(wav, c.settings, path("window.txt"));

            std::vector<std::string> arguments = c.options;
            arguments.insert(arguments.end(),
                { "--export", path("cli.txt"), "--wav", path("cli.wav"), "--info", wav });
            const auto run = runConvert(arguments, files.dir());
            ASSERT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(run.out, window.infoLines);
            EXPECT_EQ(fileText(path("cli.txt")), window.text);
            EXPECT_EQ(
                fileText(path("cli.wav")), std::string(window.image.begin(), window.image.end()));

            // The one-bit file loads back with the program's own loader in the input's format.
            LoadedWave back;
            ASSERT_EQ(loadWaveFile(path("cli.wav"), back), LoadStatus::Loaded);
            EXPECT_EQ(back.header.channelCount, c.channels);
            EXPECT_EQ(back.header.bitsPerSample, c.bits);
            EXPECT_EQ(back.header.sampleRateHz, 22050u);
            EXPECT_TRUE(std::equal(back.data.bytes().begin(), back.data.bytes().end(),
                window.image.begin() + 44, window.image.end()));

            // Standard output carries the same text, and nothing else.
            arguments = c.options;
            arguments.insert(arguments.end(), { "--export", "-", wav });
            const auto piped = runConvert(arguments, files.dir());
            EXPECT_EQ(piped.exitCode, 0) << piped.err;
            EXPECT_EQ(piped.out, window.text);
        }
    }

    TEST_F(ConvertCommand, WavAloneIsThePlayModeImageAndInfoIsTheDefault)
    {
        const std::string wav = input("in.wav", 2, 16, 10000);
        LoadedWave loaded;
        WaveDocument document;
        ASSERT_EQ(loadWaveFile(wav, loaded), LoadStatus::Loaded);
        document.accept(std::move(loaded));
        WaveImage oneBit;
        ASSERT_TRUE(oneBit.prepare(document.header, document.data.sizeBytes));
        const ModulatorSettings settings { 4000, 3000, 150 };
        const ConversionResult result = convertWholeFile(
            document.header, document.data.bytes(), settings, oneBit.sampleArea());

        const auto run = runConvert(
            { "--value1=4000", "--value2=3000", "--volume=1.5", "--wav", path("one-bit.wav"), wav },
            files.dir());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "") << "an output option replaces the default info lines";
        const auto image = oneBit.bytes();
        EXPECT_EQ(fileText(path("one-bit.wav")), std::string(image.begin(), image.end()));

        // Unlike the window's save dialog, the tool writes exactly the name it was given.
        EXPECT_EQ(runConvert({ "--export", path("no-extension"), wav }, files.dir()).exitCode, 0);
        EXPECT_TRUE(fs::exists(path("no-extension")));
        EXPECT_FALSE(fs::exists(path("no-extension.txt")));

        const auto info
            = runConvert({ "--value1=4000", "--value2=3000", "--volume=1.5", wav }, files.dir());
        EXPECT_EQ(info.exitCode, 0);
        const double snrDb
            = segmentalSnrDb(document.header, document.data.bytes(), settings, oneBit.sampleArea());
        const double audibleDb
            = audibleSnrDb(document.header, document.data.bytes(), settings, oneBit.sampleArea());
        EXPECT_EQ(info.out,
            "22050 Hz\nStereo\n16 Bit/Sample\n10000 Samples\n" + errorLabelText(result) + "\nSNR: "
                + formatFixed(snrDb, 2) + " dB\nAudible SNR: " + formatFixed(audibleDb, 2)
                + " dB\nModulator: greedy\n" + exportLine(10000));
    }

    // A bank: several sounds in one player source, each from a block on; labels lead to them.
    TEST_F(ConvertCommand, ABankStartsEverySoundAtABlockAndItsLabelsAssemble)
    {
        const std::vector<std::string> sounds = { input("a.wav", 1, 8, 9000),
            input("b.wav", 2, 16, 20000), input("c.wav", 1, 16, 3000) };
        const struct {
            std::string prefix;
            std::vector<std::int64_t> firstFrames; // where each sound's bits start
            std::vector<std::string> lines; // what the bank prints after each sound's name
        } cases[] = {
            { "", { 0, 15936, 39840 },
                { "frames 0 … 9000, labels key0000 key0011 key0001 key0101",
                    "frames 15936 … 35936, labels key0110 key0010 key1001",
                    "frames 39840 … 42840, label key0111" } },
            { "sfx_", { 0, 15936, 39840 },
                { "frames 0 … 9000, labels sfx_key0000 sfx_key0011 sfx_key0001 sfx_key0101",
                    "frames 15936 … 35936, labels sfx_key0110 sfx_key0010 sfx_key1001",
                    "frames 39840 … 42840, label sfx_key0111" } },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.prefix);
            std::vector<std::string> arguments { "--export", path("bank" + c.prefix + ".txt") };
            if (!c.prefix.empty()) {
                arguments.insert(arguments.end(), { "--label-prefix", c.prefix });
            }
            arguments.insert(arguments.end(), sounds.begin(), sounds.end());
            const auto bank = runConvert(arguments, files.dir());
            ASSERT_EQ(bank.exitCode, 0) << bank.err;
            std::string printed;
            for (std::size_t i = 0; i < sounds.size(); ++i) {
                printed += sounds[i] + ": " + c.lines[i] + "\n";
            }
            EXPECT_EQ(bank.out, printed);
            // Each sound plays exactly the bits of its own export, from its block on.
            const std::vector<bool> bits
                = testing::bitsOfText(fileText(path("bank" + c.prefix + ".txt")));
            for (std::size_t i = 0; i < sounds.size(); ++i) {
                const auto alone = runConvert({ "--export", "-", sounds[i] }, files.dir());
                const std::vector<bool> own = testing::bitsOfText(alone.out);
                ASSERT_GE(bits.size(), std::size_t(c.firstFrames[i]) + own.size());
                EXPECT_TRUE(std::equal(own.begin(), own.end(), bits.begin() + c.firstFrames[i]))
                    << i;
            }
        }
        // Two banks with their own prefixes go into one program.
        if (std::system("command -v avra >/dev/null 2>&1") == 0) {
            std::ofstream(path("both.asm")) << ".cseg\n.org 0\n.include \"bank.txt\"\n"
                                               ".include \"banksfx_.txt\"\n";
            EXPECT_EQ(
                std::system(
                    ("cd " + files.dir().string() + " && avra both.asm >avra.log 2>&1").c_str()),
                0)
                << fileText(path("avra.log"));
        }

        for (const std::vector<std::string>& refused : std::vector<std::vector<std::string>> {
                 { sounds[0], sounds[1] }, // no --export
                 { "--export", path("x.txt"), "--wav", path("x.wav"), sounds[0], sounds[1] },
                 { "--export", path("x.txt"), "--label-prefix", "9lives", sounds[0] },
                 { "--label-prefix", "sfx", sounds[0] },
             }) {
            EXPECT_EQ(runConvert(refused, files.dir()).exitCode, 2);
        }
        // The player runs at one rate.
        const std::string other
            = files.write("d.wav", testing::canonicalWave({ 1, 1, 16000, 16 }, tone(1000, 1, 16)));
        EXPECT_EQ(
            runConvert({ "--export", path("x.txt"), sounds[0], other }, files.dir()).exitCode, 3);
        EXPECT_EQ(runConvert({ "--rate", "16000", "--export", path("x.txt"), sounds[0], other },
                      files.dir())
                      .exitCode,
            0);
    }

    // Every export format, read by the tool that consumes it, gives the bytes of the raw export,
    // which are the bits of the player source in time order as avra lays them in flash.
    TEST_F(ConvertCommand, EveryFormatIsReadByItsToolAsTheBytesOfTheRawExport)
    {
        const std::string wav = input("tone.wav", 2, 16, 5000);
        const auto exported = [&](const std::string& format, const std::string& name) {
            const auto run = runConvert(
                { "--format", format, "--label-prefix", "tone_", "--export", path(name), wav },
                files.dir());
            EXPECT_EQ(run.exitCode, 0) << format << run.err;
        };
        exported("raw", "tone.bin");
        const std::string raw = fileText(path("tone.bin"));
        const std::vector<bool> bits
            = testing::bitsOfText(runConvert({ "--export", "-", wav }, files.dir()).out);
        ASSERT_EQ(raw.size() * 8, bits.size());
        for (std::size_t i = 0; i < bits.size(); ++i) {
            ASSERT_EQ(((std::uint8_t(raw[i / 8]) >> (7 - i % 8)) & 1) != 0, bits[i]) << i;
        }
        // The data bytes of an Intel HEX file, in address order from 0.
        const auto hexBytes = [](const std::string& hex) {
            std::string bytes;
            std::istringstream lines(hex);
            for (std::string line; std::getline(lines, line);) {
                if (line.size() > 9 && line.substr(7, 2) == "00") {
                    for (std::size_t i = 0; i < std::stoul(line.substr(1, 2), nullptr, 16); ++i) {
                        bytes += char(std::stoul(line.substr(9 + 2 * i, 2), nullptr, 16));
                    }
                }
            }
            return bytes;
        };
        const struct {
            std::string format, file; // exported as
            std::string build; // the tool's commands, run in the folder; they write out.bin
            bool intelHex = false; // out.bin is Intel HEX
        } cases[] = {
            { "c-header", "tone.h",
                "printf '#include \"tone.h\"\\n#include <stdio.h>\\nint main(void) { "
                "fwrite(tone_bits, 1, tone_bit_count / 8, stdout); return 0; }\\n' > m.c && "
                "gcc -std=c99 -Wall -Wextra -Werror -o m m.c && ./m > out.bin" },
            { "c-header", "tone.h",
                "printf '#include \"tone.h\"\\nconst uint8_t* p(void) { return tone_bits; }\\n' "
                "> avr.c && avr-gcc -mmcu=atmega328p -Os -Wall -Werror -c -o avr.o avr.c && "
                "avr-objcopy -O binary -j .progmem.data avr.o out.bin" },
            { "avr-db", "tone.inc",
                "printf '.cseg\\n.org 0\\n.include \"tone.inc\"\\n' > a.asm && avra a.asm && "
                "mv a.hex out.bin",
                true },
            { "player-source", "tone.txt",
                "printf '.cseg\\n.org 0\\n.include \"tone.txt\"\\n' > p.asm && avra p.asm && "
                "mv p.hex out.bin",
                true },
            { "z80-defb", "tone.asm", "pasmo tone.asm out.bin" },
            { "6502-byte", "tone.s", "xa -o out.bin tone.s" },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.build);
            exported(c.format, c.file);
            std::filesystem::remove(path("out.bin"));
            const std::string command
                = "cd " + files.dir().string() + " && (" + c.build + ") > tool.log 2>&1";
            ASSERT_EQ(std::system(command.c_str()), 0) << fileText(path("tool.log"));
            const std::string out = fileText(path("out.bin"));
            EXPECT_EQ(c.intelHex ? hexBytes(out) : out, raw);
        }
        // Without a prefix the names start with sound_.
        exported("c-header", "tone.h");
        EXPECT_NE(fileText(path("tone.h")).find("tone_bits[] PROGMEM"), std::string::npos);
        const auto plain
            = runConvert({ "--format", "c-header", "--export", "-", wav }, files.dir());
        EXPECT_NE(
            plain.out.find("static const uint8_t sound_bits[] PROGMEM = {"), std::string::npos);
        EXPECT_EQ(runConvert({ "--format", "wav", "--export", "-", wav }, files.dir()).exitCode, 2);
    }

    TEST_F(ConvertCommand, DecodedAndResampledInputsTellWhereTheyCameFrom)
    {
        const std::string flac = std::string(TICKTRACE_DECODE_FIXTURES) + "/flac-24bit.flac";
        const std::string wav = input("in.wav", 1, 8, 8000);
        const struct {
            std::vector<std::string> arguments;
            std::string head; // the information box's lines
            std::string tail; // after the export's size
        } cases[] = {
            { { flac }, "48000 Hz\nStereo\n16 Bit/Sample\n4800 Samples\n",
                "Original: FLAC, 24-bit, 48000 Hz, stereo\n" },
            { { "--rate", "16000", "--info", flac },
                "16000 Hz\nStereo\n16 Bit/Sample\n1600 Samples\n",
                "Original: FLAC, 24-bit, 48000 Hz, stereo\nResampled from 48000 Hz to 16000 Hz\n" },
            { { "--rate=44100", wav }, "44100 Hz\nMono\n16 Bit/Sample\n16000 Samples\n",
                "Resampled from 22050 Hz to 44100 Hz\n" },
            { { "--rate=88200/2", wav }, "44100 Hz\nMono\n16 Bit/Sample\n16000 Samples\n",
                "Resampled from 22050 Hz to 44100 Hz\n"
                "Player rate: 88200/2 = 44100.00 Hz, resampled to 44100 Hz\n" },
            // Its own rate leaves the sound as it is.
            { { "--rate=22050", wav }, "22050 Hz\nMono\n8 Bit/Sample\n8000 Samples\n", "" },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::PrintToString(c.arguments));
            const auto run = runConvert(c.arguments, files.dir());
            ASSERT_EQ(run.exitCode, 0) << run.err;
            EXPECT_TRUE(run.out.starts_with(c.head)) << run.out;
            const auto sizeAt = run.out.find("Modulator: greedy\nExport: ");
            ASSERT_NE(sizeAt, std::string::npos);
            EXPECT_EQ(run.out.substr(run.out.find('\n', sizeAt + 18) + 1), c.tail);
        }
    }

    TEST_F(ConvertCommand, UsageErrorsPrintMessageAndUsageAndWriteNothing)
    {
        const std::string wav = input("in.wav", 1, 16, 800);
        // Other names of the input, and of one output yet to be made.
        fs::create_symlink("in.wav", path("alias.wav"));
        fs::create_hard_link(wav, path("hard.wav"));
        fs::create_directory(path("sub"));
        fs::create_symlink("made.txt", path("dangling"));
        const std::vector<std::vector<std::string>> refused = {
            {},
            { "--bogus", wav },
            { "-x", wav },
            { wav, wav },
            { "-" },
            { "--value1", "0", wav },
            { "--value1=9001", wav },
            { "--value1=30x", wav },
            { "--value1=", wav },
            { "--value2", "32768", wav },
            { "--value2", "-5", wav },
            { "--volume", "4.01", wav },
            { "--volume", "-1", wav },
            { "--volume", "abc", wav },
            { "--volume", "1,5", wav },
            { "--volume", " 1", wav },
            { "--volume", "inf", wav },
            { "--volume", "1e3", wav },
            { "--modulator", "viterbi", wav },
            { "--modulator", "Greedy", wav },
            { "--modulator=", wav },
            { "--rate", "0", wav },
            { "--rate=384001", wav },
            { "--rate", "16k", wav },
            { "--rate", "16000000/0", wav },
            { "--rate", "1/3", wav },
            { "--rate", "16000000/", wav },
            { "--modulator", "lookahead", "--modulator", "greedy", wav },
            { "--value1=5", "--value1=6", wav },
            { "--info=yes", wav },
            { "--export", "-", "--info", wav },
            { "--export", path("same"), "--wav", path("same"), wav },
            { "--export", path("both.out"), "--wav", path("sub/../both.out"), wav },
            { "--export", path("dangling"), "--wav", path("made.txt"), wav },
            { "--wav", wav, wav },
            { "--wav", path("alias.wav"), wav },
            { "--export", path("hard.wav"), wav },
            { "--export", path("sub/../in.wav"), wav },
            { "--wav", "-", wav },
            { "--export", path("out.txt"), wav, "--value2" },
            { "--best-settings", "--value1", "5", wav },
            { "--value2=7", "--best-settings", wav },
            { "--best-settings=yes", wav },
            { "--best-volume", "--volume", "2", wav },
            { "--best-volume", "--best-settings", wav },
        };
        const std::size_t entriesBefore = entries();
        for (const auto& arguments : refused) {
            SCOPED_TRACE(::testing::PrintToString(arguments));
            const auto run = runConvert(arguments, files.dir());
            EXPECT_EQ(run.exitCode, 2);
            EXPECT_EQ(run.out, "");
            const auto lineEnd = run.err.find('\n');
            ASSERT_NE(lineEnd, std::string::npos);
            EXPECT_TRUE(run.err.starts_with("ticktrace-convert: ")) << run.err;
            EXPECT_TRUE(run.err.substr(lineEnd + 1).starts_with("usage: ticktrace-convert "));
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
        }
        EXPECT_EQ(entries(), entriesBefore);

        // The ends of each range are accepted, as is a file name after "--".
        fs::copy_file(wav, path("-odd.wav"));
        const auto edges
            = runConvert({ "--value1=9000", "--value2", "1", "--volume=0", "--", path("-odd.wav") },
                files.dir());
        EXPECT_EQ(edges.exitCode, 0) << edges.err;
        // A device is no file to replace: naming it twice is no collision.
        const auto devices
            = runConvert({ "--export", "/dev/null", "--wav", "/dev/null", wav }, files.dir());
        EXPECT_EQ(devices.exitCode, 0) << devices.err;
    }

    TEST_F(ConvertCommand, BestSettingsArePrintedAndGiveTheSameOutputsPassedBackIn)
    {
        const std::string wav = input("in.wav", 1, 8, 30000);
        // Each search prints the options it chose, then the audible SNR with those and with the
        // settings it was given; passed back in, those options give the same outputs.
        const struct {
            std::vector<std::string> search;
            std::string givenArguments;
        } cases[] = {
            { { "--best-settings" }, "--value1 3000 --value2 1000" },
            { { "--best-volume", "--value1", "8000", "--value2", "6" }, "--volume 1.000000" },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.givenArguments);
            std::vector<std::string> arguments = c.search;
            arguments.insert(
                arguments.end(), { "--export", path("a.txt"), "--wav", path("a.wav"), wav });
            const auto found = runConvert(arguments, files.dir());
            ASSERT_EQ(found.exitCode, 0) << found.err;
            EXPECT_EQ(found.err, "");
            const std::size_t lineEnd = found.out.find('\n');
            ASSERT_NE(lineEnd, std::string::npos) << found.out;
            std::istringstream chosen(found.out.substr(0, lineEnd));
            std::vector<std::string> again = c.search;
            again.erase(again.begin()); // the search's own flag
            for (std::string word; chosen >> word;) {
                again.push_back(word);
            }
            double snrDb = 0.0, givenSnrDb = 0.0;
            ASSERT_EQ(std::sscanf(found.out.c_str() + lineEnd + 1,
                          ("Audible SNR %lf dB, %lf dB with " + c.givenArguments).c_str(), &snrDb,
                          &givenSnrDb),
                2)
                << found.out;
            EXPECT_GE(snrDb, givenSnrDb);

            again.insert(
                again.end(), { "--export", path("b.txt"), "--wav", path("b.wav"), "--info", wav });
            const auto passedBack = runConvert(again, files.dir());
            ASSERT_EQ(passedBack.exitCode, 0) << passedBack.err;
            EXPECT_EQ(fileText(path("a.txt")), fileText(path("b.txt")));
            EXPECT_EQ(fileText(path("a.wav")), fileText(path("b.wav")));
            const std::string snrLine
                = "Audible SNR: " + formatFixed(snrDb, 2) + " dB\nModulator: greedy\n";
            EXPECT_NE(passedBack.out.find(snrLine), std::string::npos) << passedBack.out;
        }

        // The defaults drive the pin from limit to limit on an 8-bit sound.
        const auto found = runConvert({ "--best-settings", wav }, files.dir());
        int value1 = 0, value2 = 0;
        ASSERT_EQ(std::sscanf(found.out.c_str(), "--value1 %d --value2 %d", &value1, &value2), 2);
        EXPECT_LT(value2, 100) << "far below the default for an 8-bit sound";

        // With the text on standard output the settings go to standard error.
        const auto piped = runConvert({ "--best-settings", "--export", "-", wav }, files.dir());
        EXPECT_EQ(piped.exitCode, 0);
        EXPECT_TRUE(piped.err.starts_with(found.out.substr(0, found.out.find('\n')))) << piped.err;
    }

    TEST_F(ConvertCommand, HelpAndVersion)
    {
        const auto help = runConvert({ "--help" }, files.dir());
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_TRUE(help.out.starts_with("usage: ticktrace-convert ")) << help.out;
        EXPECT_NE(help.out.find("--export"), std::string::npos);
        EXPECT_NE(help.out.find("--modulator M"), std::string::npos);
        EXPECT_EQ(help.err, "");
        const auto version = runConvert({ "--version" }, files.dir());
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_EQ(version.out, "ticktrace-convert 1.0\n");
    }

    TEST_F(ConvertCommand, RefusedAndUnreadableInputsExitWith3)
    {
        std::ofstream(path("existing.txt")) << "kept";
        // Neither the WAV loader nor the decoder takes these: an unknown encoding, and a
        // 24-bit file that decodes to no frame.
        const struct {
            std::string input;
            bool formatMessage;
        } inputs[] = {
            { files.write("text.wav", { 'h', 'e', 'l', 'l', 'o' }), true },
            { files.write(
                  "unknown.wav", testing::canonicalWave({ 0x7A7A, 1, 44100, 16 }, Bytes(64))),
                true },
            { files.write("empty24.wav", testing::canonicalWave({ 1, 2, 44100, 24 }, {})), true },
            { path("missing.wav"), false },
            { files.dir().string(), false },
        };
        for (const auto& in : inputs) {
            SCOPED_TRACE(in.input);
            const auto run = runConvert(
                { "--export", path("existing.txt"), "--wav", path("new.wav"), in.input },
                files.dir());
            EXPECT_EQ(run.exitCode, 3);
            EXPECT_EQ(run.err.find("Format not supported") != std::string::npos, in.formatMessage)
                << run.err;
            EXPECT_EQ(fileText(path("existing.txt")), "kept");
            EXPECT_FALSE(fs::exists(path("new.wav")));
        }
    }

    // Inputs the decoder or the resampler cannot take whole: what is kept is told, what is
    // refused says why, and the decoder library's own messages stay off the terminal.
    TEST_F(ConvertCommand, DamagedShortAndUnresamplableInputsAreTold)
    {
        const auto encoded = [this](const std::string& name, int format, std::int64_t frames,
                                 int rateHz, std::size_t keepBytes = 0, std::size_t zeroAt = 0) {
            const std::string file = path(name);
            EXPECT_TRUE(testing::writeEncodedSound(file, format, frames, rateHz));
            std::string bytes = fileText(file);
            if (keepBytes != 0) {
                bytes.resize(keepBytes);
            }
            if (zeroAt != 0) {
                std::fill_n(bytes.begin() + std::ptrdiff_t(zeroAt), 4096, '\0');
            }
            return files.write(name, Bytes(bytes.begin(), bytes.end()));
        };
        const struct {
            std::vector<std::string> arguments;
            int exitCode;
            std::string out; // contained in standard output
            std::string err; // standard error, from its start
        } cases[] = {
            { { encoded("cut.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 48000, 48000, 3000) },
                0, "\nShorter than the file states: ", "" },
            { { "--export", path("out.txt"),
                  encoded(
                      "damaged.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 48000, 0, 30000) },
                0, "", "ticktrace-convert: " + path("damaged.flac") + ": Damaged: " },
            // Longer than one piece, in an encoding the library cannot seek back in.
            { { "--best-settings", "--info",
                  encoded("gsm.wav", SF_FORMAT_WAV | SF_FORMAT_GSM610, 600000, 8000) },
                0, "--value1 ", "" },
            { { "--rate", "16000",
                  files.write("many.wav",
                      testing::canonicalWave({ 1, 65025, 8000, 16 }, Bytes(2 * 65025 * 2))) },
                3, "", "ticktrace-convert: " + path("many.wav") + ": can't resample from 8000 Hz" },
            { { "--rate", "384000", encoded("slow.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 5700, 1) },
                3, "", "ticktrace-convert: " + path("slow.wav") + ": can't resample from 1 Hz" },
            { { encoded("none.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 0, 48000) }, 3, "",
                "ticktrace-convert: " + path("none.flac") + ": Format not supported\n" },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::PrintToString(c.arguments));
            const auto run = runConvert(c.arguments, files.dir());
            EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
            EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
            EXPECT_TRUE(run.err.starts_with(c.err)) << run.err;
            EXPECT_EQ(run.err.empty(), c.err.empty()) << run.err;
        }
    }

    TEST_F(ConvertCommand, OutputsThatCannotBeCreatedOrWrittenLeaveFilesAsTheyWere)
    {
        const std::string wav = input("in.wav", 2, 16, 20000);
        std::ofstream(path("old.txt")) << "old text";
        std::ofstream(path("old.wav")) << "old sound";
        const std::size_t entriesBefore = entries();

        // A parent that is a regular file fails for root as well. The export could be created,
        // but nothing is replaced when the other output cannot be.
        const auto uncreatable = runConvert(
            { "--export", path("old.txt"), "--wav", path("old.txt") + "/x.wav", wav }, files.dir());
        EXPECT_EQ(uncreatable.exitCode, 4);
        EXPECT_NE(uncreatable.err.find("can't create"), std::string::npos) << uncreatable.err;

        // A file size limit makes writes fail part-way, as a full disk would. The child inherits
        // the limit but not the test's ignored SIGXFSZ: it must not die of that signal.
        testing::ProcessResult textTooLarge;
        testing::ProcessResult wavTooLarge;
        {
            const testing::FileSizeLimit limit(16384);
            ASSERT_TRUE(limit.active());
            textTooLarge = runConvert({ "--export", path("old.txt"), wav }, files.dir());
            wavTooLarge = runConvert({ "--wav", path("old.wav"), wav }, files.dir());
        }
        EXPECT_EQ(textTooLarge.exitCode, 4);
        EXPECT_NE(textTooLarge.err.find("can't write"), std::string::npos) << textTooLarge.err;
        EXPECT_EQ(wavTooLarge.exitCode, 4);

        EXPECT_EQ(fileText(path("old.txt")), "old text");
        EXPECT_EQ(fileText(path("old.wav")), "old sound");
        EXPECT_EQ(entries(), entriesBefore) << "a temporary or partial file was left behind";

        // Standard output that cannot take the text: the reader went away.
        const auto gone = runConvert(
            { "--export", "-", wav }, files.dir(), testing::StandardOutput::ReaderGone);
        EXPECT_EQ(gone.exitCode, 4) << "-1: the process was killed";
        EXPECT_NE(gone.err.find("can't write standard output"), std::string::npos) << gone.err;
    }

    TEST_F(ConvertCommand, InputLargerThanTheAddressSpaceConvertsInPieces)
    {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit in a capped address space";
#endif
        // 128 MiB of silence in a sparse file (no disk taken), converted to every output by a
        // process whose address space is capped at 64 MiB: only a pass that never holds the
        // input or the image whole gets through.
        constexpr std::uint32_t dataBytes = std::uint32_t(128) << 20;
        Bytes head = testing::canonicalWave({ 1, 2, 44100, 16 }, {});
        for (int i = 0; i < 4; ++i) {
            head[std::size_t(4 + i)] = std::uint8_t((36 + dataBytes) >> (8 * i));
            head[std::size_t(40 + i)] = std::uint8_t(dataBytes >> (8 * i));
        }
        const std::string wav = files.write("large.wav", head);
        fs::resize_file(wav, head.size() + dataBytes);

        std::string exe = TICKTRACE_CONVERT_EXE, exportOption = "--export", wavOption = "--wav",
                    info = "--info", nowhere = "/dev/null", input = wav;
        char* argv[] = { exe.data(), exportOption.data(), nowhere.data(), wavOption.data(),
            nowhere.data(), info.data(), input.data(), nullptr };
        const std::string outPath = path("info.txt");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit cap { 64u << 20, 64u << 20 };
            const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::setrlimit(RLIMIT_AS, &cap) != 0) {
                ::_exit(100);
            }
            ::execv(argv[0], argv);
            ::_exit(101);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        // Silence: the level swings around 0 by the settled +-504, and every segment has noise
        // over no signal; that swing, every frame at 44100 Hz, lies above the audible band.
        EXPECT_EQ(fileText(outPath),
            "44100 Hz\nStereo\n16 Bit/Sample\n33554432 Samples\nError: 504\nSNR: -10.00 dB\n"
            "Audible SNR: 0.00 dB\nModulator: greedy\n"
                + exportLine(33554432));
    }

    TEST(ConvertProgress, ShownOnATerminalAndWipedWithoutChangingTheOutputs)
    {
        testing::TempFiles files;
        // 2^17 frames: the progress-only sink of a pass without text reports twice.
        const testing::Format format { 1, 1, 8000, 16 };
        const testing::Bytes samples = testing::samplePattern(2 * 131072);
        const testing::Bytes bytes = testing::canonicalWave(format, samples);
        const std::string wav = files.write("in.wav", bytes);
        for (const bool withText : { false, true }) {
            SCOPED_TRACE(withText ? "export mode" : "play mode");
            ConvertOptions options;
            options.inputPath = wav;
            options.wavPath = (files.dir() / "terminal.wav").string();
            options.exportPath = withText ? (files.dir() / "terminal.txt").string() : "";
            std::FILE* err = std::tmpfile();
            ASSERT_NE(err, nullptr);
            ConsoleStreams console { stdout, err, true, std::chrono::milliseconds(0) };
            ASSERT_EQ(runConversion(options, console), ExitStatus::Done);
            std::rewind(err);
            std::string shown(4096, '\0');
            shown.resize(std::fread(shown.data(), 1, shown.size(), err));
            std::fclose(err);
            EXPECT_NE(shown.find("\rticktrace-convert: converting 100%"), std::string::npos)
                << shown;
            EXPECT_TRUE(shown.ends_with("\r\x1b[K")) << "the line is not wiped";

            // Without a terminal the same run gives the same bytes and prints nothing.
            const auto plain = testing::runConvert(
                { "--wav", (files.dir() / "plain.wav").string(), wav }, files.dir());
            EXPECT_EQ(plain.err, "");
            EXPECT_EQ(
                testing::fileText(files.dir() / "plain.wav"), testing::fileText(options.wavPath));
        }
    }

    TEST(ConvertInterrupt, KilledDuringAnExportLeavesNothingInTheOutputFolder)
    {
        testing::TempFiles files;
        const fs::path outputs = files.dir() / "out";
        fs::create_directory(outputs);
        const int probe = ::open(outputs.c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0600);
        if (probe < 0) {
            GTEST_SKIP() << "no unnamed files on this file system: a named temporary is used";
        }
        ::close(probe);
        // 16 Mi frames take a good tenth of a second to convert, long after the outputs exist.
        const std::string wav = files.write("in.wav",
            testing::canonicalWave(
                { 1, 1, 22050, 8 }, testing::samplePattern(std::size_t(1) << 24)));

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (const int stream : { 0, 1, 2 }) {
            posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", O_RDWR, 0);
        }
        const pid_t child = testing::startConvert({ "--export", (outputs / "a.txt").string(),
                                                      "--wav", (outputs / "b.wav").string(), wav },
            actions);
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_GT(child, 0);
        // Killed once it holds a file in the output folder, named or not.
        const fs::path descriptors = "/proc/" + std::to_string(child) + "/fd";
        bool writing = false;
        for (int poll = 0; poll < 10000 && !writing; ++poll) {
            std::error_code ignored;
            for (const auto& entry : fs::directory_iterator(descriptors, ignored)) {
                writing = writing
                    || fs::read_symlink(entry, ignored)
                           .string()
                           .starts_with(outputs.string() + "/");
            }
            ::usleep(writing ? 0 : 500);
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(writing);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed";
        EXPECT_EQ(testing::entryCount(outputs), 0u);
    }

    TEST(ConvertInterrupt, RemovesTemporaryFilesThenDiesOfTheSignal)
    {
        testing::TempFiles files;
        const fs::path temporary = files.dir() / "out.txt.tmp";
        const fs::path untracked = files.dir() / "other.txt";
        std::ofstream(temporary) << "half";
        std::ofstream(untracked) << "kept";
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            InterruptCleanup cleanup;
            cleanup.add(temporary.string());
            ::raise(SIGTERM);
            ::_exit(0); // reached only when the signal did not end the process
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        EXPECT_FALSE(fs::exists(temporary));
        EXPECT_TRUE(fs::exists(untracked));

        // A signal the process was started with ignored (nohup, background jobs) stays ignored.
        for (const int signalNumber : { SIGINT, SIGTERM, SIGHUP }) {
            SCOPED_TRACE(signalNumber);
            const pid_t ignoring = ::fork();
            ASSERT_GE(ignoring, 0);
            if (ignoring == 0) {
                ::signal(signalNumber, SIG_IGN);
                {
                    InterruptCleanup cleanup;
                    cleanup.add(untracked.string());
                    ::raise(signalNumber);
                }
                ::_exit(::signal(signalNumber, SIG_IGN) == SIG_IGN ? 0 : 1);
            }
            ASSERT_EQ(::waitpid(ignoring, &status, 0), ignoring);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            EXPECT_TRUE(fs::exists(untracked));
        }

        // Once the run is over the handler is gone again.
        {
            InterruptCleanup cleanup;
        }
        struct sigaction current { };
        ::sigaction(SIGTERM, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_DFL);
    }

    // --start and --end (frames or seconds) and --trim-silence convert the part as the same
    // frames cut into a file of their own; the whole sound is the same as no part.
    TEST_F(ConvertCommand, StartEndAndTrimSilenceConvertThePartAsAFileOfItsOwn)
    {
        const Bytes samples = tone(30000, 2, 16);
        const std::string wav
            = files.write("in.wav", testing::canonicalWave({ 1, 2, 22050, 16 }, samples));
        const auto cut = [&](const std::string& name, std::size_t first, std::size_t end) {
            return files.write(name,
                testing::canonicalWave({ 1, 2, 22050, 16 },
                    Bytes(samples.begin() + std::ptrdiff_t(first * 4),
                        samples.begin() + std::ptrdiff_t(end * 4))));
        };
        // Silence around frames 3000 ... 4999 of a cut.
        Bytes padded(3000 * 4, 0);
        padded.insert(padded.end(), samples.begin() + 3000 * 4, samples.begin() + 5000 * 4);
        padded.resize(padded.size() + 1000 * 4, 0);
        const std::string quietEnds
            = files.write("padded.wav", testing::canonicalWave({ 1, 2, 22050, 16 }, padded));
        const std::string silent
            = files.write("silent.wav", testing::canonicalWave({ 1, 1, 22050, 16 }, Bytes(800, 0)));

        const struct {
            std::vector<std::string> part;
            std::string input;
            std::string sameAs; // the file that converts to the same outputs without options
            std::string partLine; // the --info line on the part; empty: none
        } cases[] = {
            { { "--start", "0" }, wav, wav, "" },
            { { "--end=30000", "--start=0s" }, wav, wav, "" },
            { { "--start", "1000", "--end", "5000" }, wav, cut("a.wav", 1000, 5000),
                "Part: frames 1000 … 5000 of 30000 (0.181 s)" },
            { { "--start", "0.5s", "--end", "1.25s" }, wav, cut("b.wav", 11025, 27562),
                "Part: frames 11025 … 27562 of 30000 (0.750 s)" },
            { { "--end", "1" }, wav, cut("c.wav", 0, 1), "Part: frames 0 … 1 of 30000 (0.000 s)" },
            { { "--start", "29992" }, wav, cut("d.wav", 29992, 30000),
                "Part: frames 29992 … 30000 of 30000 (0.000 s)" },
            { { "--trim-silence" }, quietEnds, cut("e.wav", 3000, 5000),
                "Part: frames 3000 … 5000 of 6000 (0.091 s)" },
            { { "--trim-silence", "--start", "3500" }, quietEnds, cut("f.wav", 3500, 5000),
                "Part: frames 3500 … 5000 of 6000 (0.068 s)" },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::PrintToString(c.part));
            std::vector<std::string> arguments = c.part;
            arguments.insert(arguments.end(),
                { "--info", "--export", path("part.txt"), "--wav", path("part.wav"), c.input });
            const auto run = runConvert(arguments, files.dir());
            ASSERT_EQ(run.exitCode, 0) << run.err;
            const auto whole = runConvert(
                { "--info", "--export", path("whole.txt"), "--wav", path("whole.wav"), c.sameAs },
                files.dir());
            ASSERT_EQ(whole.exitCode, 0) << whole.err;
            EXPECT_EQ(fileText(path("part.txt")), fileText(path("whole.txt")));
            EXPECT_TRUE(fileText(path("part.wav")) == fileText(path("whole.wav")));
            EXPECT_EQ(run.out, whole.out + (c.partLine.empty() ? "" : c.partLine + "\n"));
        }

        const struct {
            std::vector<std::string> arguments;
            int exitCode;
            std::string message;
        } refused[] = {
            { { "--start", "-1", wav }, 2, "--start takes a frame" },
            { { "--end", "1.5", wav }, 2, "--end takes a frame" },
            { { "--end", "-0.5s", wav }, 2, "--end takes a frame" },
            { { "--start", "s", wav }, 2, "--start takes a frame" },
            { { "--trim-silence=1", wav }, 2, "--trim-silence takes no value" },
            { { "--start", "30001", wav }, 2, "--start 30001 lies beyond the sound's end (30000" },
            { { "--end", "2s", wav }, 2, "--end 2s lies beyond the sound's end" },
            { { "--start", "7", "--end", "7", wav }, 2, "--start 7 and --end 7 choose no frames" },
            { { "--start", "1s", wav }, 0, "" },
            { { "--trim-silence", silent }, 3, "no frame is louder than -60 dBFS" },
        };
        for (const auto& r : refused) {
            SCOPED_TRACE(::testing::PrintToString(r.arguments));
            std::vector<std::string> arguments = r.arguments;
            arguments.insert(arguments.begin(), { "--wav", path("refused.wav") });
            const auto run = runConvert(arguments, files.dir());
            EXPECT_EQ(run.exitCode, r.exitCode);
            EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
            EXPECT_EQ(fs::remove(path("refused.wav")), r.exitCode == 0);
        }
    }

} // namespace
} // namespace tt
