#include <benchmark/benchmark.h>

#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "SampleFixture.h"
#include "batch/BatchRun.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

constexpr int kPictures = 20;

// 20 different 1920x1080 pictures of the sample tooth and its colour classes, made once.
const fs::path& batchFolder() {
    static const fs::path folder = [] {
        const fs::path dir = fs::temp_directory_path() / "quendra-bench-batch";
        fs::remove_all(dir);
        fs::create_directories(dir / "in");
        const cv::Mat& frame = sampleFrame(1920, 1080);
        for (int i = 0; i < kPictures; ++i) {
            cv::Mat moved;
            const cv::Mat shift = (cv::Mat_<double>(2, 3) << 1, 0, 3 * i, 0, 1, 2 * i);
            cv::warpAffine(frame, moved, shift, frame.size(), cv::INTER_NEAREST,
                           cv::BORDER_REPLICATE);
            cv::imwrite((dir / "in" / ("tooth" + std::to_string(100 + i) + ".png")).string(),
                        moved);
        }
        return dir;
    }();
    return folder;
}

// Pictures per second of a whole run, reading, analysing and writing every picture.
void BM_BatchThroughput(benchmark::State& state) {
    const fs::path& dir = batchFolder();
    BatchOptions options;
    options.classes = sampleClassFile();
    options.inputs = {(dir / "in").string()};
    options.out = (dir / "out").string();
    options.jobs = static_cast<int>(state.range(0));
    options.quiet = true;
    std::ostringstream log;
    options.overwrite = true;
    for (auto _ : state) benchmark::DoNotOptimize(runBatch(options, log));
    state.SetItemsProcessed(state.iterations() * kPictures);
}
BENCHMARK(BM_BatchThroughput)
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

}  // namespace
}  // namespace quendra
