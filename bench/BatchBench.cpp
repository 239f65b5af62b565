#include <benchmark/benchmark.h>

#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <sstream>

#include "SampleFixture.h"
#include "batch/BatchRun.h"

namespace quendra {
namespace {

namespace fs = std::filesystem;

constexpr int kPictures = 20;
constexpr int kVideoFrames = 250;

// 20 different 1920x1080 pictures and a 250-frame 1920x1080 Motion JPEG video of the sample
// tooth, made once.
const fs::path& batchFolder() {
    static const fs::path folder = [] {
        const fs::path dir = fs::temp_directory_path() / "quendra-bench-batch";
        fs::remove_all(dir);
        fs::create_directories(dir / "pictures");
        fs::create_directories(dir / "video");
        for (int i = 0; i < kPictures; ++i)
            cv::imwrite((dir / "pictures" / ("tooth" + std::to_string(100 + i) + ".png")).string(),
                        shiftedSample(3 * i, 2 * i));
        writeSampleVideo(dir / "video" / "tooth.avi", cv::VideoWriter::fourcc('M', 'J', 'P', 'G'),
                         {1920, 1080}, kVideoFrames);
        return dir;
    }();
    return folder;
}

// A run of the batch analyser over one of the folders, the inputs made beforehand.
int runOver(const char* inputs, int jobs) {
    const fs::path& dir = batchFolder();
    BatchOptions options;
    options.classes = sampleClassFile();
    options.inputs = {(dir / inputs).string()};
    options.out = (dir / "out").string();
    options.jobs = jobs;
    options.quiet = true;
    options.overwrite = true;
    std::ostringstream log;
    return runBatch(options, log);
}

// Pictures per second of a whole run with the default outputs: reading, analysing and writing
// every picture.
void BM_BatchThroughput(benchmark::State& state) {
    batchFolder();
    sampleClassFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(runOver("pictures", static_cast<int>(state.range(0))));
    state.SetItemsProcessed(state.iterations() * kPictures);
}
BENCHMARK(BM_BatchThroughput)
    ->ArgName("jobs")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// Its peer: the same pictures only read, on one thread.
void BM_DecodeOnly(benchmark::State& state) {
    const fs::path dir = batchFolder() / "pictures";
    const int threads = cv::getNumThreads();
    cv::setNumThreads(1);
    for (auto _ : state)
        for (const auto& entry : fs::directory_iterator(dir))
            benchmark::DoNotOptimize(cv::imread(entry.path().string(), cv::IMREAD_COLOR).data);
    cv::setNumThreads(threads);
    state.SetItemsProcessed(state.iterations() * kPictures);
}
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// Frames per second of a whole run over the video with the default outputs (the table and a
// movie), with the default number of jobs.
void BM_BatchVideo(benchmark::State& state) {
    batchFolder();
    sampleClassFile();
    for (auto _ : state) benchmark::DoNotOptimize(runOver("video", 0));
    state.SetItemsProcessed(state.iterations() * kVideoFrames);
}
BENCHMARK(BM_BatchVideo)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// Its peer: the same frames only read.
void BM_VideoReadOnly(benchmark::State& state) {
    cv::Mat frame;
    for (auto _ : state) {
        cv::VideoCapture video((batchFolder() / "video" / "tooth.avi").string());
        while (video.read(frame)) benchmark::DoNotOptimize(frame.data);
    }
    state.SetItemsProcessed(state.iterations() * kVideoFrames);
}
BENCHMARK(BM_VideoReadOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
}  // namespace quendra
