#include <benchmark/benchmark.h>

#include <filesystem>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "SampleFixture.h"
#include "analysis/ToothAnalysis.h"

namespace quendra {
namespace {

constexpr int kVideoFrames = 48;

// A 1080p MPEG-4 file (the codec's default puts a key frame every 12 frames).
const std::string& sampleVideo() {
    static const std::string path = [] {
        const auto file = std::filesystem::temp_directory_path() / "quendra-bench-1080p.mp4";
        writeSampleVideo(file, cv::VideoWriter::fourcc('m', 'p', '4', 'v'), {1920, 1080},
                         kVideoFrames);
        return file.string();
    }();
    return path;
}

void BM_VideoStepAnalysed(benchmark::State& state) {
    stepVideoAnalysed(state, sampleVideo());
}
BENCHMARK(BM_VideoStepAnalysed)->Args({1920, 1080})->Unit(benchmark::kMillisecond);

// The same step when every read seeks first.
void BM_VideoStepSeeking(benchmark::State& state) {
    cv::VideoCapture capture(sampleVideo());
    const int count = static_cast<int>(capture.get(cv::CAP_PROP_FRAME_COUNT));
    ToothAnalysis analysis;
    analysis.calculate(sampleFrame(1920, 1080), sampleClassifier());  // fills the class cache
    cv::Mat frame;
    int position = 0;
    for (auto _ : state) {
        position = (position + 1) % count;
        capture.set(cv::CAP_PROP_POS_FRAMES, position);
        capture.read(frame);
        analysis.calculate(frame, sampleClassifier());
        benchmark::DoNotOptimize(analysis.hasResults());
    }
}
BENCHMARK(BM_VideoStepSeeking)->Args({1920, 1080})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendra
