#include "modulator/AudibleSnr.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace tt {
namespace {

    // A voice-like signal at 8000 Hz (segments of 160 frames): `loud` segments of a 500 Hz tone
    // at 10000, each followed by `pause` segments of low hiss at 30 (about -60 dBFS).
    struct Sound {
        std::vector<double> targets;
    };

    Sound speechWithPauses(int loud, int pause)
    {
        Sound s;
        std::uint32_t noise = 1;
        for (int block = 0; block < 6; ++block) {
            for (int f = 0; f < loud * 160; ++f) {
                s.targets.push_back(
                    10000.0 * std::sin(2.0 * std::numbers::pi * 500.0 * f / 8000.0));
            }
            for (int f = 0; f < pause * 160; ++f) {
                noise = noise * 1664525u + 1013904223u;
                s.targets.push_back(double(int(noise >> 26) - 32));
            }
        }
        return s;
    }

    // The measure of a rendering: played(frame index, target) for every frame.
    template <class Played> double measure(const Sound& s, std::uint32_t rateHz, Played played)
    {
        AudibleSnr snr(rateHz, 32768.0);
        for (std::size_t i = 0; i < s.targets.size(); ++i) {
            snr.add(s.targets[i], played(i, s.targets[i]));
        }
        return snr.meanDb();
    }

    TEST(AudibleSnr, SegmentsAgainstTheReference)
    {
        // 10 log10((signal + reference) / (noise + reference)), limited below at -10 dB.
        const struct {
            double signal, noise, reference, expectedDb;
        } cases[] = {
            { 100.0, 1.0, 0.0, 20.0 }, // a loud segment: its SNR
            { 0.0, 0.0, 0.0, 0.0 }, // silence for silence
            { 0.0, 0.5, 1.0, 10.0 * std::log10(1.0 / 1.5) }, // idle noise below the reference
            { 0.0, 3.0, 1.0, 10.0 * std::log10(1.0 / 4.0) }, // above it: by how far
            { 1.0, 1e9, 1.0, -10.0 }, // limited
        };
        for (const auto& c : cases) {
            EXPECT_NEAR(AudibleSnr::segmentDb(c.signal, c.noise, c.reference), c.expectedDb, 1e-9)
                << c.signal << " " << c.noise << " " << c.reference;
        }
    }

    TEST(AudibleSnr, RanksRenderingsAsAListenerWould)
    {
        const Sound s = speechWithPauses(3, 4);
        const auto scaled = [&](double gain) {
            return measure(s, 8000, [gain](std::size_t, double t) { return gain * t; });
        };
        // Quieter than the input always scores lower, down to silence.
        double previous = 1e9;
        for (const double gain : { 1.0, 0.9, 0.7, 0.5, 0.2, 0.0 }) {
            const double db = scaled(gain);
            EXPECT_LT(db, previous) << gain;
            previous = db;
        }
        // Idle toggling of +-d over everything: nothing is gained by toggling below what is
        // heard against the loud passages, and toggling at a loud level costs.
        const auto toggling = [&](double d) {
            return measure(s, 8000, [d](std::size_t i, double t) { return t + (i % 2 ? d : -d); });
        };
        EXPECT_NEAR(toggling(1.0), toggling(4.0), 0.01);
        EXPECT_LT(toggling(2000.0), toggling(4.0) - 3.0);
        // On a sound that is mostly pauses, a rendering that follows the loud passages closely
        // and toggles audibly in the pauses beats one that plays everything far too quietly:
        // the plain segmental mean ranks these the other way round, as every quiet pause
        // segment gains 10 dB there.
        const Sound sparse = speechWithPauses(1, 6);
        const double followsLoud = measure(sparse, 8000, [](std::size_t i, double t) {
            return std::fabs(t) > 100.0 ? 0.9 * t : (i % 2 ? 300.0 : -300.0);
        });
        const double quiet = measure(sparse, 8000, [](std::size_t, double t) { return 0.3 * t; });
        EXPECT_GT(followsLoud, quiet + 10.0);
    }

    TEST(AudibleSnr, ErrorAboveTheAudibleBandCountsLess)
    {
        // The same toggling error at half the rate: heard at 16000 Hz, not at 44100 Hz.
        const Sound s = speechWithPauses(3, 0);
        const auto withToggle = [&](std::uint32_t rateHz) {
            return measure(
                s, rateHz, [](std::size_t i, double t) { return t + (i % 2 ? 3000.0 : -3000.0); });
        };
        EXPECT_LT(withToggle(16000), 10.0);
        EXPECT_GT(withToggle(44100), withToggle(16000) + 20.0);

        // Stretches start afresh, and a sound shorter than a segment is one segment.
        AudibleSnr stretches(8000, 32768.0);
        stretches.add(1000.0, 0.0);
        stretches.endStretch();
        EXPECT_EQ(stretches.meanDb(), 0.0);
        stretches.add(1000.0, 900.0);
        // The reference 30 dB below the signal: 10 log10((1e6 + 1e3) / (1e4 + 1e3)).
        EXPECT_NEAR(stretches.meanDb(), 10.0 * std::log10(1.001e6 / 1.1e4), 1e-9);
    }

} // namespace
} // namespace tt
