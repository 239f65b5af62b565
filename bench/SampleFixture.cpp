#include "SampleFixture.h"

#include <filesystem>
#include <map>
#include <stdexcept>

#include "SampleScene.h"
#include "analysis/ToothAnalysis.h"

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

ColorClasses& freshSampleClasses() {
    static ColorClasses classes;
    static const std::string file = [] {
        const auto path = std::filesystem::temp_directory_path() / "quendra-bench-classes.dat";
        ColorClasses picks;
        for (const SampleScene& scene : sampleScenes())
            pickSampleColors(scene, renderScene(scene), picks);
        if (picks.save(path.string()) != ClassFileStatus::Ok)
            throw std::runtime_error("cannot write the benchmark's colour classes");
        return path.string();
    }();
    if (classes.load(file) != ClassFileStatus::Ok)
        throw std::runtime_error("cannot read the benchmark's colour classes");
    return classes;
}

ColorClasses& warmSampleClasses(const cv::Mat& frame) {
    ColorClasses& classes = freshSampleClasses();
    ToothAnalysis warmUp;
    warmUp.setBorder(0);
    warmUp.calculate(frame, classes);
    return classes;
}

}  // namespace quendra
