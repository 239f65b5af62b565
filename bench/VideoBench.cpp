#include <benchmark/benchmark.h>

#include <filesystem>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "SampleFixture.h"
#include "analysis/ToothAnalysis.h"
#include "io/VideoFrames.h"

namespace quendra {
namespace {

constexpr int kVideoFrames = 48;

// A 1080p MPEG-4 file of the sample tooth drifting slowly (the codec's default puts a key
// frame every 12 frames), written once per process.
const std::string& sampleVideo() {
    static const std::string path = [] {
        const auto file = std::filesystem::temp_directory_path() / "quendra-bench-1080p.mp4";
        const cv::Mat& frame = sampleFrame(1920, 1080);
        cv::VideoWriter writer(file.string(), cv::CAP_FFMPEG,
                               cv::VideoWriter::fourcc('m', 'p', '4', 'v'), 25, frame.size());
        if (!writer.isOpened()) throw std::runtime_error("cannot write the benchmark video");
        for (int i = 0; i < kVideoFrames; ++i) {
            cv::Mat shifted;
            const cv::Mat move = (cv::Mat_<double>(2, 3) << 1, 0, i % 8, 0, 1, i % 5);
            cv::warpAffine(frame, shifted, move, frame.size(), cv::INTER_NEAREST,
                           cv::BORDER_REPLICATE);
            writer.write(shifted);
        }
        return file.string();
    }();
    return path;
}

// One step of playback with the analysis on, as the window does it: the next frame, read on.
void BM_VideoStepAnalysed(benchmark::State& state) {
    VideoFrames frames(sampleVideo());
    ToothAnalysis analysis;
    analysis.calculate(sampleFrame(1920, 1080), sampleClassifier());  // fills the class cache
    int position = 0;
    for (auto _ : state) {
        position = (position + 1) % frames.frameCount();
        analysis.calculate(frames.frameAt(position), sampleClassifier());
        benchmark::DoNotOptimize(analysis.hasResults());
    }
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
