#include "text/TextFormat.h"

#include <array>
#include <cfenv>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <utility>

namespace tt {
namespace {

    TEST(TextFormat, SixDecimalsAndNumbersBackFromText)
    {
        EXPECT_EQ(formatFixed6(1.0f), "1.000000");
        EXPECT_EQ(formatFixed6(2.5f), "2.500000");
        EXPECT_EQ(formatFixed6(0.0f), "0.000000");
        EXPECT_EQ(formatFixed6(4.0f), "4.000000");
        EXPECT_EQ(formatFixed(12.345, 2), "12.35");
        EXPECT_EQ(formatFixed(-7.08, 1), "-7.1");
        EXPECT_EQ(formatFixed(-0.004, 2), "0.00");
        EXPECT_EQ(formatFixed(60.0, 0), "60");
        EXPECT_EQ(parseFloat("2.5"), 2.5f);
        EXPECT_EQ(parseFloat("  -0.25xyz"), -0.25f);
        EXPECT_EQ(parseFloat("+3"), 3.0f);
        EXPECT_EQ(parseFloat("abc"), 0.0f);
        EXPECT_EQ(parseFloat(""), 0.0f);
        EXPECT_EQ(parseFloat("nan"), 0.0f);
        EXPECT_TRUE(std::isinf(parseFloat("1e99")));
        EXPECT_EQ(parseFloat("1e-99"), 0.0f);
    }

    TEST(TextFormat, DecimalPointDoesNotFollowTheUserLocale)
    {
        if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr
            && std::setlocale(LC_ALL, "C.UTF-8") == nullptr) {
            GTEST_SKIP() << "no locale to switch to";
        }
        EXPECT_EQ(formatFixed6(2.5f), "2.500000");
        EXPECT_EQ(parseFloat("2.5"), 2.5f);
        std::setlocale(LC_ALL, "C");
    }

    TEST(TextFormat, IntegersInDecimalAndBinary)
    {
        EXPECT_EQ(toDecimal(0), "0");
        EXPECT_EQ(toDecimal(-504), "-504");
        EXPECT_EQ(toDecimal(600000), "600000");
    }

    TEST(TextFormat, RoundingHalvesToEven)
    {
        EXPECT_EQ(roundHalfEven(2.5), 2);
        EXPECT_EQ(roundHalfEven(3.5), 4);
        EXPECT_EQ(roundHalfEven(-2.5), -2);
        EXPECT_EQ(roundHalfEven(-0.5), 0);
        EXPECT_EQ(roundHalfEven(503.9), 504);
        EXPECT_EQ(roundHalfEven(32767.5), 32768);
        EXPECT_EQ(roundHalfEven(-1.5), -2);
        EXPECT_EQ(roundHalfEven(-3.7), -4);
        EXPECT_EQ(roundHalfEven(0.49999999999999994), 0); // where floor(x + 0.5) gives 1
        EXPECT_EQ(roundHalfEven(4503599627370497.0), 4503599627370497); // 2^52 + 1, no fraction
        EXPECT_EQ(roundHalfEven(600000.0 * 16.5), 9900000);
        // The program never changes the rounding mode; a library that did must not skew results.
        const int mode = std::fegetround();
        std::fesetround(FE_UPWARD);
        const auto upward
            = std::array { roundHalfEven(2.5), roundHalfEven(-2.5), roundHalfEven(2.4) };
        std::fesetround(FE_DOWNWARD);
        const auto downward
            = std::array { roundHalfEven(3.5), roundHalfEven(-3.5), roundHalfEven(2.6) };
        std::fesetround(mode);
        EXPECT_EQ(upward, (std::array<std::int64_t, 3> { 2, -2, 2 }));
        EXPECT_EQ(downward, (std::array<std::int64_t, 3> { 4, -4, 3 }));
    }

    TEST(TextFormat, FileNameAndExtension)
    {
        EXPECT_EQ(fileNamePart("/home/a/tune.wav"), "tune.wav");
        EXPECT_EQ(fileNamePart("C:\\music\\tune.WAV"), "tune.WAV");
        EXPECT_EQ(fileNamePart("tune.wav"), "tune.wav");
        EXPECT_EQ(extensionOf("/a.b/tune"), "");
        EXPECT_EQ(extensionOf("/a/tune.txt"), "txt");
        EXPECT_EQ(extensionOf("/a/archive.tar.gz"), "gz");
        EXPECT_EQ(extensionOf("/a/tune."), "");
        // The save dialogs' default extension: only for names without one.
        EXPECT_EQ(withDefaultExtension("/home/u/song", ".txt"), "/home/u/song.txt");
        EXPECT_EQ(withDefaultExtension("/home/u/song.asm", ".txt"), "/home/u/song.asm");
        EXPECT_EQ(withDefaultExtension("/home/u.v2/song", ".txt"), "/home/u.v2/song.txt");
        EXPECT_EQ(withDefaultExtension("song.", ".txt"), "song..txt");
    }

    TEST(TextFormat, SystemFoldersOfSpecialFiles)
    {
        const std::pair<const char*, bool> paths[] = { { "/proc", true }, { "/proc/kmsg", true },
            { "/sys/kernel/x.txt", true }, { "/dev/", true }, { "/tmp/../dev/null", true },
            { "/dev/fd/0", true }, { "/home/u/dev/tune.txt", false }, { "/process/x", false },
            { "/devices.txt", false }, { "/", false }, { "", false } };
        for (const auto& [path, special] : paths) {
            EXPECT_EQ(isInSystemFolder(path), special) << path;
        }
        // Through a link, too.
        const auto link = std::filesystem::temp_directory_path() / "ticktrace-link-to-proc";
        std::filesystem::remove(link);
        std::filesystem::create_directory_symlink("/proc", link);
        EXPECT_TRUE(isInSystemFolder((link / "self").string()));
        std::filesystem::remove(link);
    }

} // namespace
} // namespace tt
