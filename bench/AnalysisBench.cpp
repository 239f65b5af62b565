#include <benchmark/benchmark.h>

#include <opencv2/imgproc.hpp>

#include "GreySection.h"
#include "SampleFixture.h"
#include "analysis/Regions.h"
#include "analysis/ToothAnalysis.h"
#include "colour/ColorTraining.h"

namespace quendra {
namespace {

// The enamel mask of the sample frame, as the analysis labels it.
cv::Mat enamelMask(int width, int height) {
    const cv::Mat& frame = sampleFrame(width, height);
    ToothAnalysis analysis;
    analysis.calculate(frame, sampleClassifier());
    return analysis.toothMask().clone();
}

void BM_LabelRegions(benchmark::State& state) {
    const cv::Mat mask =
        enamelMask(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::vector<Region> regions;
    RunEncoder encoder;
    Run* runs = nullptr;
    for (auto _ : state) {
        benchmark::DoNotOptimize(labelRegions(mask, regions, encoder, runs, true));
        benchmark::DoNotOptimize(regions.data());
    }
}
BENCHMARK(BM_LabelRegions)->Args({1920, 1080})->Unit(benchmark::kMillisecond);

void BM_OpenCVConnectedComponents(benchmark::State& state) {
    const cv::Mat mask =
        enamelMask(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const cv::Mat foreground = mask == 0;
    const int threads = cv::getNumThreads();
    cv::setNumThreads(1);
    cv::Mat labels, stats, centroids;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            cv::connectedComponentsWithStats(foreground, labels, stats, centroids, 4, CV_32S));
    cv::setNumThreads(threads);
}
BENCHMARK(BM_OpenCVConnectedComponents)->Args({1920, 1080})->Unit(benchmark::kMillisecond);

// One frame analysed again and again with the class cache filled, as the window plays a video.
void calculateRepeatedly(benchmark::State& state, const cv::Mat& frame,
                         const ColorClassifier& classifier, const AnalysisSettings& settings) {
    ToothAnalysis analysis;
    analysis.setSettings(settings);
    analysis.calculate(frame, classifier);  // fills the class cache
    for (auto _ : state) {
        analysis.calculate(frame, classifier);
        benchmark::DoNotOptimize(analysis.hasResults());
    }
}

void BM_Calculate(benchmark::State& state) {
    calculateRepeatedly(
        state, sampleFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))),
        sampleClassifier(), {});
}
BENCHMARK(BM_Calculate)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

// Its peer above: the class threshold from the classes, the canal threshold per tooth.
void BM_CalculateAutomatic(benchmark::State& state) {
    AnalysisSettings settings;
    settings.autoThreshold = true;
    settings.autoClassThreshold = true;
    calculateRepeatedly(
        state, sampleFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))),
        sampleClassifier(), settings);
}
BENCHMARK(BM_CalculateAutomatic)->Args({1920, 1080})->Unit(benchmark::kMillisecond);

// A section through three roots, scaled to 1920x1080: the largest root alone (range 0) and
// every root as a tooth (range 1).
void BM_CalculateTeeth(benchmark::State& state) {
    static const auto section = [] {
        const GreySection molar = greySections().at(1);
        const cv::Mat picture = renderGreySection(molar);
        ColorTraining training;
        pickSectionColors(molar, picture, training);
        cv::Mat scaled;
        cv::resize(picture, scaled, {1920, 1080}, 0, 0, cv::INTER_NEAREST);
        return std::pair{scaled, classifierOf(training.samples())};
    }();
    AnalysisSettings settings;
    settings.autoThreshold = true;
    settings.autoClassThreshold = true;
    settings.teeth = state.range(0) ? TeethChoice::All : TeethChoice::Largest;
    calculateRepeatedly(state, section.first, section.second, settings);
}
BENCHMARK(BM_CalculateTeeth)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What the operator waits for after loading: the first frame with an empty cache.
void BM_CalculateFirstFrame(benchmark::State& state) {
    const cv::Mat& frame =
        sampleFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    ToothAnalysis analysis;
    for (auto _ : state) {
        state.PauseTiming();
        analysis.forgetClassifications();
        state.ResumeTiming();
        analysis.calculate(frame, sampleClassifier());
        benchmark::DoNotOptimize(analysis.hasResults());
    }
}
BENCHMARK(BM_CalculateFirstFrame)->Args({1920, 1080})->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quendra
