#include "RealSections.h"

#include <opencv2/imgcodecs.hpp>
#include <stdexcept>

#include "colour/ColorTraining.h"

namespace quendra {

std::vector<RealSection> realSections() {
    return {{"microct_Tooth007_axial1.png",
             {112, 143},
             {{60, 40, 30, 30}, {120, 200, 30, 30}},
             {{0, 150, 20, 80}}},
            {"microct_Tooth007_axial2.png",
             {107, 131},
             {{60, 160, 30, 40}, {80, 30, 40, 30}},
             {{0, 0, 30, 40}}},
            {"microct_Tooth007_axial3.png",
             {101, 98},
             {{60, 40, 30, 40}, {120, 70, 30, 40}},
             {{170, 60, 30, 80}}},
            {"microct_Tooth007_axial4.png", {98, 101}, {{90, 110, 25, 30}}, {{20, 20, 40, 60}}}};
}

void pickRealSectionColors(const std::filesystem::path& folder, ColorTraining& training) {
    for (const RealSection& s : realSections()) {
        const cv::Mat picture = cv::imread((folder / s.file).string(), cv::IMREAD_COLOR);
        if (picture.empty()) throw std::runtime_error("cannot read " + s.file);
        training.setColorClass(ClassEnamel);
        for (const cv::Rect& r : s.dentinPicks)
            training.addSamples(picture, r.x, r.y, r.x + r.width, r.y + r.height);
        training.setColorClass(ClassGum);
        for (const cv::Rect& r : s.backgroundPicks)
            training.addSamples(picture, r.x, r.y, r.x + r.width, r.y + r.height);
    }
}

}  // namespace quendra
