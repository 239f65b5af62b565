#pragma once

// A frame painted by hand on gum red: the enamel grey (200, 200, 200) is cached as enamel and
// no colour has samples, so nothing else has a class. Canals are painted darker than it.

#include <opencv2/core.hpp>

#include "analysis/ToothAnalysis.h"

namespace quendra {

struct PaintedTooth {
    static inline const cv::Scalar kEnamel = cv::Scalar::all(200);

    explicit PaintedTooth(cv::Size size) : frame(size, CV_8UC3, cv::Scalar(0, 0, 200)) {
        analysis.classCache()[0xC8C8C8] = ClassEnamel;
    }
    const FrameResult& analyse() { return analysis.calculate(frame, classes); }

    cv::Mat frame;
    ToothAnalysis analysis;
    const ColorClassifier classes = classifierOf({});
};

}  // namespace quendra
