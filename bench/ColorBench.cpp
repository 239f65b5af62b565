#include <benchmark/benchmark.h>

#include <random>

#include "LiteralClassify.h"
#include "SampleFixture.h"
#include "colour/ClassCache.h"
#include "colour/PixelScan.h"

namespace quendra {
namespace {

// The peer of every per-frame figure: one pass over the frame's bytes.
void BM_FrameClone(benchmark::State& state) {
    const cv::Mat& frame =
        sampleFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        cv::Mat copy = frame.clone();
        benchmark::DoNotOptimize(copy.data);
    }
}
BENCHMARK(BM_FrameClone)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

void BM_ClassifyPixelsWarm(benchmark::State& state) {
    const cv::Mat& frame =
        sampleFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const ColorClassifier& classifier = sampleClassifier();
    ClassCache cache;
    cv::Mat mask(frame.size(), CV_8UC1);
    const auto classify = [&] {
        classifyPixels(frame, ClassEnamel, cache.data(), classifier.tree.get(),
                       kDefaultClassThreshold, mask, 0, 0, frame.cols, frame.rows);
    };
    classify();  // fills the cache
    for (auto _ : state) {
        classify();
        benchmark::DoNotOptimize(mask.data);
    }
}
BENCHMARK(BM_ClassifyPixelsWarm)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond);

// Colours of the sample frame, as the analysis puts them to the tree on first sight.
std::vector<int> queryColours() {
    const cv::Mat& frame = sampleFrame(640, 480);
    std::mt19937 random(5);
    std::vector<int> colours;
    for (int i = 0; i < 4096; ++i) {
        const cv::Vec3b p =
            frame.at<cv::Vec3b>(static_cast<int>(random() % 480), static_cast<int>(random() % 640));
        colours.push_back(p[2] << 16 | p[1] << 8 | p[0]);
    }
    return colours;
}

template <typename Classify>
void classifyQueries(benchmark::State& state, Classify classify) {
    const KDTree& tree = *sampleClassifier().tree;
    const std::vector<int> colours = queryColours();
    for (auto _ : state)
        for (const int c : colours) benchmark::DoNotOptimize(classify(tree, c));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * colours.size()));
}

// All queries at once, as a frame's new colours are put to the tree.
void BM_KDTreeClassify(benchmark::State& state) {
    const KDTree& tree = *sampleClassifier().tree;
    const std::vector<int> colours = queryColours();
    std::vector<int> classes(colours.size());
    for (auto _ : state) {
        tree.classifyMany(colours, 5, classes);
        benchmark::DoNotOptimize(classes.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * colours.size()));
}
BENCHMARK(BM_KDTreeClassify)->Unit(benchmark::kMillisecond);

// The same queries one call each.
void BM_KDTreeClassifyOneByOne(benchmark::State& state) {
    classifyQueries(state, [](const KDTree& t, int c) { return t.classify(c, 5); });
}
BENCHMARK(BM_KDTreeClassifyOneByOne)->Unit(benchmark::kMillisecond);

void BM_KDTreeClassifyLiteral(benchmark::State& state) {
    classifyQueries(state, [](const KDTree& t, int c) { return literalClassify(t, c, 5); });
}
BENCHMARK(BM_KDTreeClassifyLiteral)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendra
