// A window session on a large file, in-process through the Shell with the real audio output:
// open, Play 1Bit twice, Export Beepster and open the file again. Prints the peak memory above
// the start-up size after each step, as a multiple of the file's sample data, and the time from
// the Play 1Bit press to the one-bit stream being started against the conversion pass alone
// (the same pass over the same data into memory written before).
//
// Usage: ticktrace_window_bench WORK_FOLDER [FRAMES] [--stop-between]
// Writes a FRAMES-frame 16-bit stereo WAV file (default 100 000 000 frames, 4 bytes each) into
// WORK_FOLDER. Needs a sound server (bench/window-session.sh starts a private one); without
// one the slots hold nothing and the figures say little. --stop-between presses STOP before
// every step, so that no one-bit sound is playing when the next pass starts.

#include "modulator/WholeFileConversion.h"
#include "platform/audio/AudioOutput.h"
#include "platform/toolkit/Dialogs.h"
#include "platform/toolkit/GuiApplication.h"
#include "shell/ControlIds.h"
#include "shell/Shell.h"
#include "wave/SampleBytes.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Every save goes to the one path given; a replacement is agreed to.
class FixedDialogs final : public tt::Dialogs {
public:
    explicit FixedDialogs(std::string savePath)
        : savePath_(std::move(savePath))
    {
    }
    std::string openFile(std::string_view, std::string_view, std::string_view) override
    {
        return {};
    }
    std::string saveFile(
        std::string_view, std::string_view, std::string_view, std::size_t*) override
    {
        return savePath_;
    }
    void fileUsed(std::string_view) override { }
    void message(std::string_view title, std::string_view text, std::string_view) override
    {
        std::fprintf(stderr, "message: %.*s: %.*s\n", int(title.size()), title.data(),
            int(text.size()), text.data());
    }
    bool question(std::string_view, std::string_view, std::string_view) override { return true; }
    std::optional<std::string> askText(
        std::string_view, std::string_view, std::string_view) override
    {
        return std::nullopt;
    }
    void about(std::string_view, std::string_view) override { }

private:
    std::string savePath_;
};

void putLittleEndian(std::ofstream& out, std::uint32_t value, int byteCount)
{
    for (int i = 0; i < byteCount; ++i) {
        out.put(char(value >> (8 * i)));
    }
}

// A canonical 16-bit stereo file of a chord with some noise, written in 1 MiB pieces so that
// making it does not raise the memory measured afterwards.
void writeTestFile(const std::string& path, std::int64_t frameCount)
{
    const std::uint32_t dataBytes = std::uint32_t(frameCount * 4);
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    putLittleEndian(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLittleEndian(out, 16, 4);
    putLittleEndian(out, 1, 2);
    putLittleEndian(out, 2, 2);
    putLittleEndian(out, 44100, 4);
    putLittleEndian(out, 44100 * 4, 4);
    putLittleEndian(out, 4, 2);
    putLittleEndian(out, 16, 2);
    out.write("data", 4);
    putLittleEndian(out, dataBytes, 4);
    std::vector<char> piece(1 << 20);
    std::uint32_t noise = 12345;
    std::int64_t frame = 0;
    while (frame < frameCount) {
        const std::int64_t pieceFrames
            = std::min<std::int64_t>(std::int64_t(piece.size()) / 4, frameCount - frame);
        for (std::int64_t i = 0; i < pieceFrames; ++i, ++frame) {
            const double t = double(frame) / 44100.0;
            noise = noise * 1664525u + 1013904223u;
            const double level = 9000.0 * std::sin(6.283185307179586 * 110.0 * t)
                + 5000.0 * std::sin(6.283185307179586 * 277.2 * t) + double(noise >> 22) - 512.0;
            const auto word = std::uint16_t(std::int16_t(std::lround(level)));
            for (int c = 0; c < 2; ++c) {
                piece[std::size_t(i * 4 + c * 2)] = char(word);
                piece[std::size_t(i * 4 + c * 2 + 1)] = char(word >> 8);
            }
        }
        out.write(piece.data(), std::streamsize(pieceFrames * 4));
    }
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
long statusKilobytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

// From now on VmHWM counts from the present resident size.
bool resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

tt::Event controlEvent(int id)
{
    tt::Event event;
    event.kind = tt::Event::Kind::Control;
    event.id = id;
    return event;
}

tt::Event menuEvent(int id)
{
    tt::Event event;
    event.kind = tt::Event::Kind::Menu;
    event.id = id;
    return event;
}

// Whether the sound server plays any stream just now (STOP has ended the others).
bool serverHasStream()
{
    std::FILE* list = ::popen("pactl list sink-inputs short 2>/dev/null", "r");
    if (list == nullptr) {
        return false;
    }
    char line[256];
    const bool any = std::fgets(line, sizeof line, list) != nullptr;
    ::pclose(list);
    return any;
}

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    tt::GuiApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(
            stderr, "usage: ticktrace_window_bench WORK_FOLDER [FRAMES] [--stop-between]\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const std::int64_t frameCount = argc > 2 ? std::atoll(argv[2]) : 100'000'000;
    const bool stopBetween = argc > 3 && std::string(argv[3]) == "--stop-between";
    const std::string wavPath = (folder / "window-session.wav").string();
    const std::string exportPath = (folder / "window-session.txt").string();
    writeTestFile(wavPath, frameCount);

    tt::AudioOutput audio;
    if (!audio.open()) {
        std::fprintf(stderr, "no sound server: run through bench/window-session.sh\n");
        return 1;
    }
    int status = 0;
    {
        tt::Shell shell(audio);
        shell.setDialogs(std::make_unique<FixedDialogs>(exportPath));
        shell.window().show();
        const long startKb = statusKilobytes("VmRSS");
        if (!resetPeak()) {
            std::fprintf(stderr, "cannot reset the peak resident size\n");
            return 1;
        }
        const double dataBytes = double(frameCount * 4);
        const auto report = [&](const char* step, double seconds) {
            const double aboveStartBytes = double(statusKilobytes("VmHWM") - startKb) * 1024.0;
            std::printf("%-14s peak above start-up %7.0f MB = %.2f x data   %6.3f s\n", step,
                aboveStartBytes / 1e6, aboveStartBytes / dataBytes, seconds);
        };
        const auto stopIfAsked = [&] {
            if (stopBetween) {
                shell.dispatch(controlEvent(tt::control::stop));
            }
        };
        std::printf("%lld frames, %.0f MB of sample data, start-up size %.0f MB%s\n",
            static_cast<long long>(frameCount), dataBytes / 1e6, double(startKb) * 1024.0 / 1e6,
            stopBetween ? ", STOP before every step" : ", the one-bit sound playing on");

        std::vector<double> firstSoundSeconds;

        auto start = Clock::now();
        if (!shell.openFile(wavPath)) {
            return 1;
        }
        report("open", secondsSince(start));
        std::vector<double> playSeconds;
        for (const char* step : { "Play 1Bit", "Play 1Bit again" }) {
            stopIfAsked();
            // The sound server tells when the one-bit sound's stream starts: a watcher asks it
            // every few milliseconds while the press is handled (the handler may return only
            // after the whole pass, the sound starting long before).
            std::atomic<bool> handled = false;
            double streamSeconds = -1.0;
            std::thread watcher([&] {
                const auto pressed = Clock::now();
                while (!handled.load() || streamSeconds < 0.0) {
                    if (serverHasStream()) {
                        streamSeconds = secondsSince(pressed);
                        return;
                    }
                    if (secondsSince(pressed) > 30.0) {
                        return;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            });
            start = Clock::now();
            shell.dispatch(controlEvent(tt::control::playOneBit));
            playSeconds.push_back(secondsSince(start));
            report(step, playSeconds.back());
            handled = true;
            watcher.join();
            if (stopBetween && streamSeconds >= 0.0) {
                firstSoundSeconds.push_back(streamSeconds);
            }
            if (!audio.isPlaying(1)) {
                std::fprintf(stderr, "the one-bit sound does not play\n");
                status = 1;
            }
        }
        stopIfAsked();
        start = Clock::now();
        shell.dispatch(menuEvent(tt::menu::exportPlayerSource));
        report("export", secondsSince(start));
        stopIfAsked();
        start = Clock::now();
        if (!shell.openFile(wavPath)) {
            return 1;
        }
        report("open again", secondsSince(start));

        // The pass alone, over the same data into memory already written, as often as it takes
        // for a steady figure; the quickest run counts.
        const tt::WaveDocument& document = shell.document();
        std::vector<std::uint8_t> area(document.data.bytes().size(), 1);
        double passSeconds = 1e9;
        for (int run = 0; run < 3; ++run) {
            start = Clock::now();
            const tt::ConversionResult result = tt::convertWholeFile(
                document.header, document.data.bytes(), shell.settings(), area);
            passSeconds = std::min(passSeconds, secondsSince(start));
            if (result.frameCount == 0) {
                status = 1;
            }
        }
        // The first Play 1Bit after a load writes a fresh image: the pass alone pays the first
        // touch of that memory too, measured here into a fresh block of the image's kind.
        double freshPassSeconds = 0.0;
        {
            tt::SampleBytes fresh(document.data.bytes().size());
            start = Clock::now();
            const tt::ConversionResult result = tt::convertWholeFile(
                document.header, document.data.bytes(), shell.settings(), fresh);
            freshPassSeconds = secondsSince(start);
            if (result.frameCount == 0) {
                status = 1;
            }
        }
        std::printf("conversion pass alone %.3f s (into fresh memory %.3f s); Play 1Bit handled in "
                    "%.3f s = %.2f x the pass into fresh memory, again %.3f s = %.2f x\n",
            passSeconds, freshPassSeconds, playSeconds[0], playSeconds[0] / freshPassSeconds,
            playSeconds[1], playSeconds[1] / passSeconds);
        if (firstSoundSeconds.size() == 2) {
            std::printf("Play 1Bit to its stream started on the server %.3f s = %.2f x the pass "
                        "into fresh memory, again %.3f s = %.2f x the pass\n",
                firstSoundSeconds[0], firstSoundSeconds[0] / freshPassSeconds, firstSoundSeconds[1],
                firstSoundSeconds[1] / passSeconds);
        }
        audio.close();
    }
    std::filesystem::remove(wavPath);
    std::filesystem::remove(exportPath);
    return status;
}
