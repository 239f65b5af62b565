#include "SampleFixture.h"

#include <filesystem>
#include <map>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <stdexcept>

#include "SampleScene.h"
#include "analysis/ToothAnalysis.h"
#include "io/VideoFrames.h"

namespace quendra {

const cv::Mat& sampleFrame(int width, int height) {
    static std::map<std::pair<int, int>, cv::Mat> frames;
    cv::Mat& frame = frames[{width, height}];
    if (frame.empty()) {
        for (const SampleScene& scene : sampleScenes())
            if (scene.size == cv::Size(width, height)) frame = renderScene(scene);
        if (frame.empty()) throw std::invalid_argument("no sample of that size");
    }
    return frame;
}

const ColorClassifier& sampleClassifier() {
    static const ColorClassifier classifier = trainedClassifier(sampleScenes());
    return classifier;
}

const std::string& sampleClassFile() {
    static const std::string file = [] {
        const auto path = std::filesystem::temp_directory_path() / "quendra-bench-classes.dat";
        const auto nodes = sampleClassifier().tree->nodes();
        if (writeColorClassFile(path.string(), nodes) != ClassFileStatus::Ok)
            throw std::runtime_error("cannot write the benchmark's colour classes");
        return path.string();
    }();
    return file;
}

cv::Mat shiftedSample(int dx, int dy, cv::Size size) {
    cv::Mat scaled;
    cv::resize(sampleFrame(1920, 1080), scaled, size, 0, 0, cv::INTER_NEAREST);
    cv::Mat moved;
    const cv::Mat shift = (cv::Mat_<double>(2, 3) << 1, 0, dx, 0, 1, dy);
    cv::warpAffine(scaled, moved, shift, size, cv::INTER_NEAREST, cv::BORDER_REPLICATE);
    return moved;
}

void writeSampleVideo(const std::filesystem::path& file, int fourcc, cv::Size size, int frames) {
    if (std::filesystem::exists(file)) return;
    const auto part = file.parent_path() / (".part-" + file.filename().string());
    cv::VideoWriter writer(part.string(), cv::CAP_FFMPEG, fourcc, 25, size);
    if (!writer.isOpened()) throw std::runtime_error("cannot write the benchmark video");
    for (int i = 0; i < frames; ++i) writer.write(shiftedSample(i % 8, i % 5, size));
    writer.release();
    std::filesystem::rename(part, file);
}

void stepVideoAnalysed(benchmark::State& state, const std::string& video) {
    VideoFrames frames(video);
    ToothAnalysis analysis;
    analysis.calculate(frames.frameAt(0), sampleClassifier());  // fills the class cache
    int position = 0;
    for (auto _ : state) {
        position = (position + 1) % frames.frameCount();
        analysis.calculate(frames.frameAt(position), sampleClassifier());
        benchmark::DoNotOptimize(analysis.hasResults());
    }
}

}  // namespace quendra
