#include "search/SettingsSearch.h"

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

    // The coarse grid: Value 2 at the powers of 4 and its maximum, 9000 - Value 1 at about
    // powers of 3 from its maximum.
    constexpr int coarseSteps[] = { 1, 4, 16, 64, 256, 1024, 4096, 16384, S::value2Max };
    constexpr int coarseLeakRooms[] = { 8999, 3000, 1000, 330, 110 };
    // The compass search starts at half the grid's spacing, in log.
    constexpr double firstStepFactor = 2.0;
    constexpr double firstLeakFactor = 1.73;
    constexpr double finestFactor = 1.004;
    constexpr int compassRoundLimit = 80;
    // What the progress assumes the compass search costs, in candidates; it mostly needs fewer.
    constexpr int plannedCompassCandidates = 60;
    constexpr std::int64_t typicalPreRollFrames = 700;

    using Candidate = std::pair<int, int>; // Value 1, Value 2

    class Search {
    public:
        Search(const WaveHeader& header, std::span<const std::uint8_t> data,
            const ModulatorSettings& start, const SearchProgress& progress,
            const SearchTuning& tuning)
            : header_(header)
            , data_(data)
            , start_(start)
            , progress_(progress)
            , threads_(workerThreadCount(tuning.threadCount))
            , confirmCount_(tuning.confirmCount)
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
            SearchResult result;
            result.value1 = start_.value1;
            result.value2 = start_.value2;
            result.measuredOnWholeFile = coversWholeFile(final_);
            if (frameCount_ == 0) {
                return result;
            }
            planWork();
            if (!measureCoarseGrid() || !compassSearch() || !confirm(result)) {
                result = SearchResult {};
                result.value1 = start_.value1;
                result.value2 = start_.value2;
                result.cancelled = true;
                return result;
            }
            result.candidateCount = int(sampleScores_.size());
            return result;
        }

    private:
        ModulatorSettings settingsOf(Candidate candidate) const
        {
            ModulatorSettings settings = start_;
            settings.value1 = candidate.first;
            settings.value2 = candidate.second;
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
            const auto coarse
                = std::int64_t(std::size(coarseLeakRooms) * std::size(coarseSteps) + 1);
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
            runParallelJobs(
                int(candidates.size()), threads_,
                [&](int i) {
                    scores[std::size_t(i)] = snrOfStretches(
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

        Candidate startCandidate() const { return { start_.value1, start_.value2 }; }

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
            for (const int room : coarseLeakRooms) {
                for (const int step : coarseSteps) {
                    grid.push_back({ S::value1Max - room, step });
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

        bool compassSearch()
        {
            beginStage(1);
            Candidate current = bestOnSample();
            double stepFactor = firstStepFactor;
            double leakFactor = firstLeakFactor;
            for (int round = 0; round < compassRoundLimit; ++round) {
                const int room = leakRoomOf(current.first);
                const int roomMin = leakRoomOf(S::value1Max - 1);
                const int roomMax = leakRoomOf(S::value1Min);
                std::vector<Candidate> around;
                for (const bool up : { true, false }) {
                    around.push_back({ current.first,
                        scaled(current.second, stepFactor, up, S::value2Min, S::value2Max) });
                    around.push_back(
                        { S::value1Max - scaled(room, leakFactor, up, roomMin, roomMax),
                            current.second });
                }
                if (!measureOnSample(around)) {
                    return false;
                }
                Candidate best = current;
                for (const Candidate& c : around) {
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
            result.value1 = finalists[best].first;
            result.value2 = finalists[best].second;
            result.snrDb = scores[best];
            result.startSnrDb = scores[0];
            return true;
        }

        const WaveHeader header_;
        const std::span<const std::uint8_t> data_;
        const ModulatorSettings start_;
        const SearchProgress& progress_;
        const int threads_ = 1;
        const int confirmCount_ = 3;
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
    const ModulatorSettings& start, const SearchProgress& progress, const SearchTuning& tuning)
{
    Search search(header, data, start, progress, tuning);
    SearchResult result = search.run();
    if (progress && !result.cancelled) {
        progress(100);
    }
    return result;
}

SearchResult findBestSettings(const WaveHeader& header, std::span<const std::uint8_t> data,
    const ModulatorSettings& start, const SearchProgress& progress)
{
    return findBestSettings(
        header, data, start, progress, SearchTuning::forModulator(start.modulator));
}

} // namespace tt
