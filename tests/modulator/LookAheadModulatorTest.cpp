#include "modulator/LookAheadModulator.h"

#include "modulator/LookAheadPlayer.h"
#include "modulator/SegmentalSnr.h"
#include "modulator/WholeFileConversion.h"
#include "wave/TestHeader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace tt {
namespace {

    using testing::headerOf;

    // Every drive the modulator gives for the targets, the flushed ones included.
    std::vector<bool> drivesOf(LookAheadModulator search, const std::vector<double>& targets)
    {
        std::vector<bool> drives;
        bool down = false;
        for (const double target : targets) {
            if (search.take(target, down)) {
                drives.push_back(down);
            }
        }
        while (search.flush(down)) {
            drives.push_back(down);
        }
        return drives;
    }

    // The search as described, written for clarity: every candidate carries its whole drive
    // sequence, and a discarded one is infinitely dear.
    std::vector<bool> referenceSearch(const PinModel& pin, const std::vector<double>& targets,
        std::size_t pathCount, std::size_t delayFrames)
    {
        struct Candidate {
            double level = 0.0;
            double cost = 0.0;
            std::vector<bool> drives;
        };
        constexpr double infinite = std::numeric_limits<double>::infinity();
        std::vector<Candidate> candidates(pathCount, Candidate { 0.0, infinite, {} });
        candidates[0].cost = 0.0;
        const auto cheapest = [&candidates] {
            return std::min_element(candidates.begin(), candidates.end(),
                [](const Candidate& a, const Candidate& b) { return a.cost < b.cost; });
        };
        std::vector<bool> committed;
        for (std::size_t frame = 0; frame < targets.size(); ++frame) {
            const auto successor = [&](Candidate from, bool down) {
                from.level = pin.levelAfter(from.level, down);
                const double error = from.level - targets[frame];
                from.cost = from.cost + error * error;
                from.drives.push_back(down);
                return from;
            };
            std::vector<Candidate> next { successor(candidates.front(), true) };
            for (std::size_t j = 1; j < pathCount; ++j) {
                const Candidate up = successor(candidates[j - 1], false);
                const Candidate down = successor(candidates[j], true);
                next.push_back(up.cost < down.cost ? up : down);
            }
            next.push_back(successor(candidates.back(), false));
            if (next.back().cost < next.front().cost) {
                next.erase(next.begin());
            } else {
                next.pop_back();
            }
            candidates = next;
            const double least = cheapest()->cost;
            for (Candidate& c : candidates) {
                c.cost = c.cost - least;
            }
            if (frame >= delayFrames) {
                const std::size_t decided = frame - delayFrames;
                const bool drive = cheapest()->drives[decided];
                committed.push_back(drive);
                for (Candidate& c : candidates) {
                    if (c.drives[decided] != drive) {
                        c.cost = infinite;
                    }
                }
            }
        }
        const std::vector<bool>& best = cheapest()->drives;
        committed.insert(
            committed.end(), best.begin() + std::ptrdiff_t(committed.size()), best.end());
        return committed;
    }

    // A wandering loud signal with noise and stretches beyond the limits, in sample units.
    std::vector<double> randomTargets(double maxAmp, int frameCount, unsigned seed)
    {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> jump(-0.3, 0.3), noise(-0.05, 0.05);
        std::vector<double> targets;
        double wander = 0.0;
        for (int f = 0; f < frameCount; ++f) {
            wander = std::clamp(wander + jump(random) * 0.2, -1.5, 1.5);
            targets.push_back((wander + noise(random)) * maxAmp);
        }
        return targets;
    }

    // Ordinary, clamped at both limits, leaks of 1 and above, and the infinite leak.
    const ModulatorSettings settingsCases[]
        = { { 3000, 1000, 100 }, { 1, 32767, 400 }, { 8000, 60, 100 }, { 8900, 3000, 100 },
              { 8950, 20000, 300 }, { 8999, 500, 100 }, { 9000, 1000, 100 } };

    TEST(LookAheadModulator, EqualsThePlainSearchForAnyCountAndDelay)
    {
        const std::pair<int, int> shapes[]
            = { { 1, 0 }, { 2, 5 }, { 3, 1 }, { 8, 32 }, { 13, 63 }, { 32, 40 } };
        unsigned seed = 1;
        for (const int bits : { 8, 16 }) {
            for (const ModulatorSettings& settings : settingsCases) {
                const PinModel pin(settings, headerOf(bits));
                for (const auto& [pathCount, delayFrames] : shapes) {
                    SCOPED_TRACE(std::to_string(bits) + "-bit, Value 1 "
                        + std::to_string(settings.value1) + ", Value 2 "
                        + std::to_string(settings.value2) + ", K " + std::to_string(pathCount)
                        + ", D " + std::to_string(delayFrames));
                    const std::vector<double> targets = randomTargets(pin.maxAmp, 1200, seed++);
                    const std::vector<bool> drives
                        = drivesOf(LookAheadModulator(pin, pathCount, delayFrames), targets);
                    ASSERT_EQ(drives.size(), targets.size());
                    ASSERT_EQ(drives,
                        referenceSearch(
                            pin, targets, std::size_t(pathCount), std::size_t(delayFrames)));
                }
            }
        }
        // Fewer frames than the delay: everything comes from the flush.
        const PinModel pin(ModulatorSettings {}, headerOf(16));
        const std::vector<double> few = randomTargets(pin.maxAmp, 20, 99);
        EXPECT_EQ(drivesOf(LookAheadModulator(pin), few), referenceSearch(pin, few, 8, 32));
        EXPECT_TRUE(drivesOf(LookAheadModulator(pin), {}).empty());
    }

    TEST(LookAheadModulator, EveryLaneWidthEqualsThePlainSearchWhereCandidatesTie)
    {
        // Silence and steps that slam the pin from limit to limit give mirrored paths of equal
        // cost, whose drives disagree: the first cheapest from the lowest must decide. Taken
        // frame by frame and in batches of every size, in both lane widths.
        std::vector<std::vector<double>> patterns;
        patterns.push_back(std::vector<double>(300, 0.0));
        std::vector<double> square;
        for (int f = 0; f < 600; ++f) {
            square.push_back((f / 37) % 3 == 0 ? 0.0 : ((f / 11) % 2 == 0 ? 90.0 : -128.0));
        }
        patterns.push_back(square);
        std::vector<double> mixed = randomTargets(128.0, 500, 5);
        std::fill(mixed.begin() + 100, mixed.begin() + 260, 0.0);
        patterns.push_back(mixed);
        for (const ModulatorSettings& settings : { ModulatorSettings { 3000, 1000, 100 },
                 ModulatorSettings { 3000, 64, 100 }, ModulatorSettings { 8950, 300, 100 } }) {
            const PinModel pin(settings, headerOf(8));
            for (std::size_t p = 0; p < patterns.size(); ++p) {
                for (const int delayFrames : { 0, 5, 32, 63 }) {
                    const std::vector<bool> expected
                        = referenceSearch(pin, patterns[p], 8, std::size_t(delayFrames));
                    for (const auto lanes : { LookAheadModulator::Lanes::Widest,
                             LookAheadModulator::Lanes::Baseline }) {
                        SCOPED_TRACE("pattern " + std::to_string(p) + ", Value 1 "
                            + std::to_string(settings.value1) + ", Value 2 "
                            + std::to_string(settings.value2) + ", D " + std::to_string(delayFrames)
                            + ", lanes " + std::to_string(int(lanes)));
                        EXPECT_EQ(
                            drivesOf(LookAheadModulator(pin, 8, delayFrames, lanes), patterns[p]),
                            expected);
                        for (const int batch : { 1, 7, 32, 64 }) {
                            LookAheadModulator search(pin, 8, delayFrames, lanes);
                            std::vector<bool> drives;
                            // The levels it plays: the pin driven by its drives, to the bit.
                            double level = pin.modelLevel;
                            int wrongLevels = 0;
                            const auto played = [&](bool down, double searchLevel) {
                                drives.push_back(down);
                                level = pin.levelAfter(level, down);
                                wrongLevels += searchLevel != level;
                            };
                            for (std::size_t at = 0; at < patterns[p].size();) {
                                const int count
                                    = int(std::min<std::size_t>(batch, patterns[p].size() - at));
                                int decided = 0;
                                std::array<double, LookAheadModulator::maxTakenAtOnce> levels;
                                const std::uint64_t bits = search.takeMany(
                                    &patterns[p][at], count, decided, levels.data());
                                for (int i = 0; i < decided; ++i) {
                                    played(((bits >> i) & 1u) != 0, levels[std::size_t(i)]);
                                }
                                at += std::size_t(count);
                            }
                            bool down = false;
                            while (search.flush(down)) {
                                played(down, search.playedLevel());
                            }
                            EXPECT_EQ(drives, expected) << "batches of " << batch;
                            EXPECT_EQ(wrongLevels, 0) << "batches of " << batch;
                        }
                    }
                }
            }
        }
    }

    TEST(LookAheadPlayer, PlaysTheSearchsDrivesEachExactlyItsDelayAfterTheFrameWasTaken)
    {
        // The player searches in batches and queues the drives: every frame must still come out
        // once, in order, delayFrames() takes after its own (or at the flush), with the search's
        // drive, the pin stepped by it and the error of its own target.
        // From a pin away from rest too: the live sound starts a search where the pin stands.
        for (const ModulatorSettings& settings : settingsCases) {
            for (const auto& [frameCount, startLevel] : { std::pair(0, 0.0), std::pair(1, 0.0),
                     std::pair(40, 0.0), std::pair(95, 0.0), std::pair(96, -1234.5),
                     std::pair(97, 0.0), std::pair(1000, 0.0), std::pair(1000, 77.25) }) {
                SCOPED_TRACE("Value 1 " + std::to_string(settings.value1) + ", "
                    + std::to_string(frameCount) + " frames from " + std::to_string(startLevel));
                PinModel pin(settings, headerOf(16));
                pin.modelLevel = startLevel;
                const std::vector<double> targets
                    = randomTargets(pin.maxAmp, frameCount, unsigned(frameCount) + 3);
                const std::vector<bool> drives = drivesOf(LookAheadModulator(pin), targets);
                LookAheadPlayer player(pin);
                PinModel played = pin;
                PinModel expected = pin;
                std::int64_t taken = 0;
                std::vector<std::array<double, 3>> plays; // target, error, level
                const auto play = [&](double target, double error) {
                    const auto frame = std::size_t(player.decidedFrames() - 1);
                    ASSERT_LT(frame, targets.size());
                    EXPECT_EQ(target, targets[frame]);
                    if (taken < frameCount) {
                        EXPECT_EQ(taken - std::int64_t(frame) - 1, player.delayFrames());
                    }
                    EXPECT_EQ(error, expected.step(targets[frame], drives[frame]));
                    EXPECT_EQ(played.outputBit(), drives[frame]);
                    EXPECT_EQ(played.modelLevel, expected.modelLevel);
                    plays.push_back({ target, error, played.modelLevel });
                };
                for (const double target : targets) {
                    ++taken;
                    const std::int64_t before = player.decidedFrames();
                    player.take(played, target, play);
                    EXPECT_LE(player.decidedFrames() - before, 1);
                }
                player.flush(played, play);
                EXPECT_EQ(player.decidedFrames(), frameCount);

                // Many frames at once, in runs that start and end anywhere in a batch: the same
                // frames played in the same order.
                LookAheadPlayer many(pin);
                PinModel manyPin = pin;
                std::vector<std::array<double, 3>> manyPlays;
                const auto playMany = [&](double target, double error) {
                    manyPlays.push_back({ target, error, manyPin.modelLevel });
                };
                std::int64_t at = 0;
                for (const std::int64_t run : { 1, 63, 64, 130, 200, 1000 }) {
                    const std::int64_t count = std::min<std::int64_t>(run, frameCount - at);
                    many.takeFrames(
                        manyPin, count,
                        [&](std::int64_t i) { return targets[std::size_t(at + i)]; }, playMany);
                    at += count;
                }
                many.flush(manyPin, playMany);
                EXPECT_EQ(manyPlays, plays);
            }
        }
    }

    TEST(LookAheadModulator, OnePathTakesTheDriveLandingNearerTheTarget)
    {
        // Not the greedy rule, which compares the target with the level before the update: the
        // inputs make the two differ.
        for (const ModulatorSettings& settings : settingsCases) {
            SCOPED_TRACE("Value 1 " + std::to_string(settings.value1));
            const PinModel pin(settings, headerOf(16));
            const std::vector<double> targets = randomTargets(pin.maxAmp, 3000, 7);
            for (const int delayFrames : { 0, 9 }) {
                const std::vector<bool> drives
                    = drivesOf(LookAheadModulator(pin, 1, delayFrames), targets);
                ASSERT_EQ(drives.size(), targets.size());
                double level = 0.0;
                int unlikeGreedy = 0;
                for (std::size_t f = 0; f < targets.size(); ++f) {
                    const double down = pin.levelAfter(level, true);
                    const double up = pin.levelAfter(level, false);
                    const bool nearerDown
                        = !(std::fabs(up - targets[f]) < std::fabs(down - targets[f]));
                    ASSERT_EQ(drives[f], nearerDown) << "frame " << f;
                    unlikeGreedy += nearerDown != !(targets[f] > level);
                    level = nearerDown ? down : up;
                }
                if (settings.value1 < 8900) {
                    EXPECT_GT(unlikeGreedy, 0);
                }
            }
        }
        // Equally near: down.
        ModulatorSettings noLeak;
        noLeak.value1 = ModulatorSettings::value1Min;
        const PinModel pin(noLeak, headerOf(16));
        EXPECT_EQ(drivesOf(LookAheadModulator(pin, 1, 0), { 0.0 }), std::vector<bool> { true });
    }

    TEST(LookAheadModulator, LoudSweepIntoTheClampFollowsBetterThanGreedy)
    {
        // A full-scale sweep touches the pin's limits at every peak. Paths that merge there must
        // not be stitched to sequences the committed drives have left behind, or the played
        // level drifts off the candidates' levels and the result falls behind greedy's.
        WaveHeader header = headerOf(16);
        header.sampleRateHz = 44100;
        const int frameCount = 3 * 44100;
        std::vector<std::uint8_t> data;
        double phase = 0.0;
        for (int f = 0; f < frameCount; ++f) {
            phase += 2.0 * std::numbers::pi * (30.0 + 1500.0 * f / frameCount) / 44100.0;
            const auto word = std::uint16_t(std::int16_t(std::lround(32767.0 * std::sin(phase))));
            data.push_back(std::uint8_t(word));
            data.push_back(std::uint8_t(word >> 8));
        }
        for (ModulatorSettings settings :
            { ModulatorSettings { 3000, 4000, 100 }, ModulatorSettings { 1, 12000, 100 } }) {
            std::vector<std::uint8_t> image(data.size());
            convertWholeFile(header, data, settings, image);
            const double greedyDb = segmentalSnrDb(header, data, settings, image);
            settings.modulator = ModulatorKind::LookAhead;
            convertWholeFile(header, data, settings, image);
            EXPECT_GT(segmentalSnrDb(header, data, settings, image), greedyDb)
                << "Value 2 " << settings.value2;
        }
    }

} // namespace
} // namespace tt
