#include "search/SettingsSearch.h"

#include "modulator/PinModel.h"
#include "modulator/SegmentalSnr.h"
#include "modulator/WholeFileConversion.h"
#include "search/ParallelJobs.h"
#include "search/SearchMeter.h"
#include "search/SnrOfStretches.h"
#include "search/StretchPlan.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

namespace tt {
namespace {

    using S = ModulatorSettings;

    // 9000 - Value 1: the leak per frame is 100 divided by it.
    int leakRoomOf(int value1)
    {
        return S::value1Max - value1;
    }

    // The coarse grid, in the coordinates where the good settings are not a thin diagonal: the
    // leak (9000 - Value 1 at about powers of 3 from its maximum, down to 100, where the whole
    // level leaks every frame and the pin plays +-step like a plain one-bit output) against the
    // level the pin settles at when driven one way, step / leak, as a share of full scale. A
    // sound is followed best where that level matches its loudness, whatever the leak, so along
    // this grid's rows the good region is wide.
    constexpr int coarseLeakRooms[] = { 8999, 3000, 1000, 330, 100 };
    constexpr double coarseSettleShares[]
        = { 1.0 / 256, 1.0 / 64, 1.0 / 16, 1.0 / 8, 0.25, 0.5, 1.0, 2.0, 4.0 };
    // The Volume-only search: a coarse grid over the Volume in percent, then halving moves.
    constexpr int coarseVolumes[] = { 10, 25, 50, 75, 100, 150, 200, 300, 400 };
    constexpr double firstVolumeFactor = 1.25;
    // The compass search starts at half the grid's spacing, in log.
    constexpr double firstStepFactor = 2.0;
    constexpr double firstLeakFactor = 1.73;
    constexpr double finestFactor = 1.004;
    constexpr int compassRoundLimit = 80;
    // What the progress assumes the compass search costs, in candidates; it mostly needs fewer.
    constexpr int plannedCompassCandidates = 90;
    constexpr std::int64_t typicalPreRollFrames = 700;

    // Value 1, Value 2, Volume.
    struct Candidate {
        int value1 = 0;
        int value2 = 0;
        int volume = 0;
        auto operator<=>(const Candidate&) const = default;
    };

    // The step that keeps the level the pin settles at, step / leak, when 9000 - Value 1 goes
    // from one room to another (the leak is 100 / room).
    int stepKeepingSettle(int value2, int fromRoom, int toRoom)
    {
        const auto step = std::lround(double(value2) * double(fromRoom) / double(toRoom));
        return int(std::clamp<long>(step, S::value2Min, S::value2Max));
    }

    class Search {
    public:
        Search(const WaveHeader& header, std::span<const std::uint8_t> data,
            const ModulatorSettings& start, const SearchProgress& progress,
            const SearchTuning& tuning, SearchScope scope)
            : header_(header)
            , data_(data)
            , start_(start)
            , progress_(progress)
            , threads_(workerThreadCount(tuning.threadCount))
            , confirmCount_(tuning.confirmCount)
            , scope_(scope)
        {
            frameCount_ = conversionFrameCount(header, data.size(), data.size());
            const std::int64_t segmentFrames = SegmentalSnr::segmentFramesAt(header.sampleRateHz);
            sample_ = spreadStretches(
                frameCount_, segmentFrames, tuning.sampleFrames, tuning.sampleStretchCount);
            confirmation_ = spreadStretches(
                frameCount_, segmentFrames, tuning.confirmFrames, tuning.confirmStretchCount);
            final_ = spreadStretches(
                frameCount_, segmentFrames, tuning.wholeFileFrameLimit, tuning.finalStretchCount);
        }

        SearchResult run()
        {
            SearchResult result = startingResult();
            result.measuredOnWholeFile = coversWholeFile(final_);
            if (frameCount_ == 0) {
                return result;
            }
            planWork();
            if (!measureCoarseGrid() || !compassSearch() || !confirm(result)) {
                result = startingResult();
                result.cancelled = true;
                return result;
            }
            result.candidateCount = int(sampleScores_.size());
            return result;
        }

    private:
        SearchResult startingResult() const
        {
            SearchResult result;
            result.value1 = start_.value1;
            result.value2 = start_.value2;
            result.volume = start_.volume;
            return result;
        }

        ModulatorSettings settingsOf(Candidate candidate) const
        {
            ModulatorSettings settings = start_;
            settings.value1 = candidate.value1;
            settings.value2 = candidate.value2;
            settings.volume = candidate.volume;
            return settings;
        }

        static std::int64_t framesOf(const std::vector<Stretch>& stretches)
        {
            std::int64_t frames = 0;
            for (const Stretch& s : stretches) {
                frames += s.frameCount();
            }
            return frames;
        }

        bool coversWholeFile(const std::vector<Stretch>& stretches) const
        {
            return stretches.size() == 1 && stretches[0] == Stretch { 0, frameCount_ };
        }

        bool sampleIsWholeFile() const { return coversWholeFile(sample_); }

        // The stages' shares of the progress, in frames the model runs.
        void planWork()
        {
            const auto coarse = scope_ == SearchScope::VolumeOnly
                ? std::int64_t(std::size(coarseVolumes) + 1)
                : std::int64_t(std::size(coarseLeakRooms) * std::size(coarseSettleShares) + 1);
            const std::int64_t sampleRun
                = framesOf(sample_) + std::int64_t(sample_.size()) * typicalPreRollFrames;
            stageFrames_[0] = coarse * sampleRun;
            stageFrames_[1] = plannedCompassCandidates * sampleRun;
            const auto runFrames = [](const std::vector<Stretch>& stretches) {
                return framesOf(stretches) + std::int64_t(stretches.size()) * typicalPreRollFrames;
            };
            stageFrames_[2] = 0;
            if (!sampleIsWholeFile()) {
                stageFrames_[2] = confirmation_ == final_
                    ? (confirmCount_ + 1) * runFrames(final_)
                    : confirmCount_ * runFrames(confirmation_) + 2 * runFrames(final_);
            }
            plannedFrames_ = stageFrames_[0] + stageFrames_[1] + stageFrames_[2];
        }

        void beginStage(int stage)
        {
            stage_ = stage;
            stageStartFrames_ = meter_.framesRun();
        }

        int percent() const
        {
            std::int64_t done = 0;
            for (int s = 0; s < stage_; ++s) {
                done += stageFrames_[s];
            }
            done += std::clamp<std::int64_t>(
                meter_.framesRun() - stageStartFrames_, 0, stageFrames_[stage_]);
            return plannedFrames_ > 0 ? int(done * 100 / plannedFrames_) : 0;
        }

        void watch()
        {
            if (progress_ && !meter_.cancelled() && !progress_(percent())) {
                meter_.cancel();
            }
        }

        // Scores of the candidates over the stretches, in parallel. Empty when cancelled.
        std::vector<double> measure(
            const std::vector<Candidate>& candidates, const std::vector<Stretch>& stretches)
        {
            std::vector<double> scores(candidates.size());
            pool_.run(
                int(candidates.size()),
                [&](int i) {
                    scores[std::size_t(i)] = audibleSnrOfStretches(
                        settingsOf(candidates[std::size_t(i)]), header_, data_, stretches, meter_);
                },
                [this] { watch(); });
            if (meter_.cancelled()) {
                return {};
            }
            return scores;
        }

        // Measures the candidates not yet measured on the sample. False when cancelled.
        bool measureOnSample(std::vector<Candidate> candidates)
        {
            std::vector<Candidate> fresh;
            for (const Candidate& c : candidates) {
                if (!sampleScores_.contains(c)
                    && std::find(fresh.begin(), fresh.end(), c) == fresh.end()) {
                    fresh.push_back(c);
                }
            }
            if (fresh.empty()) {
                return !meter_.cancelled();
            }
            const std::vector<double> scores = measure(fresh, sample_);
            if (scores.empty()) {
                return false;
            }
            for (std::size_t i = 0; i < fresh.size(); ++i) {
                sampleScores_[fresh[i]] = scores[i];
            }
            return true;
        }

        Candidate startCandidate() const { return { start_.value1, start_.value2, start_.volume }; }

        // The best measured candidate; the starting settings on a tie, then the lowest Value 1
        // and Value 2.
        Candidate bestOnSample() const
        {
            Candidate best = startCandidate();
            double bestScore = sampleScores_.at(best);
            for (const auto& [candidate, score] : sampleScores_) {
                if (score > bestScore) {
                    best = candidate;
                    bestScore = score;
                }
            }
            return best;
        }

        bool measureCoarseGrid()
        {
            beginStage(0);
            std::vector<Candidate> grid { startCandidate() };
            if (scope_ == SearchScope::VolumeOnly) {
                for (const int volume : coarseVolumes) {
                    grid.push_back({ start_.value1, start_.value2, volume });
                }
                return measureOnSample(grid);
            }
            const double fullScale = PinModel(start_, header_).maxAmp;
            for (const int room : coarseLeakRooms) {
                for (const double share : coarseSettleShares) {
                    // step = settle level * leak, with the leak 100 / room
                    const auto step = std::lround(share * fullScale * 100.0 / double(room));
                    grid.push_back({ S::value1Max - room,
                        int(std::clamp<long>(step, S::value2Min, S::value2Max)), start_.volume });
                }
            }
            return measureOnSample(grid);
        }

        // A value moved by the factor up or down, by at least 1, within the range; the value
        // itself when it is at the end of the range already.
        static int scaled(int value, double factor, bool up, int minimum, int maximum)
        {
            if (up) {
                const auto moved = std::lround(double(value) * factor);
                return int(std::clamp<long>(std::max<long>(moved, value + 1), minimum, maximum));
            }
            const auto moved = std::lround(double(value) / factor);
            return int(std::clamp<long>(std::min<long>(moved, value - 1), minimum, maximum));
        }

        // The candidates one move away from `current`: in the Volume alone, or in the step (the
        // settle level moves with it), in the leak with the settle level kept, and in the leak
        // with the step kept: the first two follow the ridge where the settle level matches the
        // sound, the third crosses it where it bends (a square wave's best lies on a knife edge
        // at a leak near 1 and a step just below its amplitude).
        std::vector<Candidate> around(Candidate current, double stepFactor, double leakFactor) const
        {
            std::vector<Candidate> moves;
            for (const bool up : { true, false }) {
                if (scope_ == SearchScope::VolumeOnly) {
                    moves.push_back({ current.value1, current.value2,
                        scaled(current.volume, stepFactor, up, S::volumeMin + 1, S::volumeMax) });
                    continue;
                }
                moves.push_back({ current.value1,
                    scaled(current.value2, stepFactor, up, S::value2Min, S::value2Max),
                    current.volume });
                const int room = leakRoomOf(current.value1);
                const int movedRoom = scaled(
                    room, leakFactor, up, leakRoomOf(S::value1Max - 1), leakRoomOf(S::value1Min));
                moves.push_back({ S::value1Max - movedRoom,
                    stepKeepingSettle(current.value2, room, movedRoom), current.volume });
                moves.push_back({ S::value1Max - movedRoom, current.value2, current.volume });
            }
            return moves;
        }

        bool compassSearch()
        {
            beginStage(1);
            Candidate current = bestOnSample();
            const bool volumeOnly = scope_ == SearchScope::VolumeOnly;
            double stepFactor = volumeOnly ? firstVolumeFactor : firstStepFactor;
            double leakFactor = firstLeakFactor;
            for (int round = 0; round < compassRoundLimit; ++round) {
                const std::vector<Candidate> moves = around(current, stepFactor, leakFactor);
                if (!measureOnSample(moves)) {
                    return false;
                }
                Candidate best = current;
                for (const Candidate& c : moves) {
                    if (sampleScores_.at(c) > sampleScores_.at(best)) {
                        best = c;
                    }
                }
                if (best != current) {
                    current = best;
                    continue;
                }
                if (stepFactor <= finestFactor && leakFactor <= finestFactor) {
                    break;
                }
                stepFactor = std::max(finestFactor, std::sqrt(stepFactor));
                leakFactor = std::max(finestFactor, std::sqrt(leakFactor));
            }
            return true;
        }

        // Ranks the candidates on the sample, best first, without the starting settings.
        std::vector<Candidate> rankedOnSample() const
        {
            std::vector<std::pair<double, Candidate>> ranked;
            for (const auto& [candidate, score] : sampleScores_) {
                if (candidate != startCandidate()) {
                    ranked.push_back({ score, candidate });
                }
            }
            std::stable_sort(ranked.begin(), ranked.end(),
                [](const auto& a, const auto& b) { return a.first > b.first; });
            std::vector<Candidate> candidates;
            for (const auto& entry : ranked) {
                candidates.push_back(entry.second);
            }
            return candidates;
        }

        // The index of the highest score, the first on a tie.
        static std::size_t bestIndex(const std::vector<double>& scores)
        {
            std::size_t best = 0;
            for (std::size_t i = 1; i < scores.size(); ++i) {
                if (scores[i] > scores[best]) {
                    best = i;
                }
            }
            return best;
        }

        bool confirm(SearchResult& result)
        {
            beginStage(2);
            const Candidate start = startCandidate();
            std::vector<Candidate> finalists { start };
            if (sampleIsWholeFile()) {
                finalists.push_back(bestOnSample());
            } else {
                std::vector<Candidate> ranked = rankedOnSample();
                ranked.resize(std::min(ranked.size(), std::size_t(std::max(confirmCount_, 1))));
                if (confirmation_ == final_) {
                    finalists.insert(finalists.end(), ranked.begin(), ranked.end());
                } else {
                    const std::vector<double> scores = measure(ranked, confirmation_);
                    if (scores.empty()) {
                        return false;
                    }
                    finalists.push_back(ranked[bestIndex(scores)]);
                }
            }
            std::vector<double> scores;
            if (sampleIsWholeFile()) {
                scores = { sampleScores_.at(finalists[0]), sampleScores_.at(finalists[1]) };
            } else {
                scores = measure(finalists, final_);
                if (scores.empty()) {
                    return false;
                }
            }
            const std::size_t best = bestIndex(scores);
            result.value1 = finalists[best].value1;
            result.value2 = finalists[best].value2;
            result.volume = finalists[best].volume;
            result.snrDb = scores[best];
            result.startSnrDb = scores[0];
            return true;
        }

        const WaveHeader header_;
        const std::span<const std::uint8_t> data_;
        const ModulatorSettings start_;
        const SearchProgress& progress_;
        const int threads_ = 1;
        WorkerPool pool_ { threads_ }; // one set of workers for every round of the search
        const int confirmCount_ = 3;
        const SearchScope scope_;
        std::int64_t frameCount_ = 0;
        std::vector<Stretch> sample_;
        std::vector<Stretch> confirmation_;
        std::vector<Stretch> final_;
        std::map<Candidate, double> sampleScores_;
        SearchMeter meter_;
        std::int64_t stageFrames_[3] = { 0, 0, 0 };
        std::int64_t plannedFrames_ = 0;
        int stage_ = 0;
        std::int64_t stageStartFrames_ = 0;
    };

} // namespace

SearchResult findBestSettings(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& start, const SearchProgress& progress, const SearchTuning& tuning,
    SearchScope scope)
{
    Search search(header, data, start, progress, tuning, scope);
    SearchResult result = search.run();
    if (progress && !result.cancelled) {
        progress(100);
    }
    return result;
}

SearchResult findBestSettings(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& start, const SearchProgress& progress, SearchScope scope)
{
    return findBestSettings(
        header, data, start, progress, SearchTuning::forModulator(start.modulator), scope);
}

} // namespace tt
