#include "SampleFixture.h"

#include <filesystem>
#include <map>
#include <stdexcept>

#include "SampleScene.h"

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

}  // namespace quendra
