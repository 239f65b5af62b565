#include "analysis/RegionShape.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace quendra {

namespace {
constexpr double kOvalFrom = 2;  // aspect ratios of oval cross sections: 2 to 4
constexpr double kFlatAbove = 4;
}  // namespace

const char* shapeClass(double aspectRatio) {
    if (!std::isfinite(aspectRatio)) return "";
    if (aspectRatio < kOvalFrom) return "round";
    return aspectRatio <= kFlatAbove ? "oval" : "flat";
}

RegionShape shapeOf(const cv::Mat& mask, double area, double majorAxis, double minorAxis) {
    CV_CheckTypeEQ(mask.type(), CV_8UC1, "region masks are 8-bit single-channel images");
    // A frame of background around the mask, so that no contour runs along its edge.
    cv::Mat framed;
    cv::copyMakeBorder(mask, framed, 1, 1, 1, 1, cv::BORDER_CONSTANT, cv::Scalar(0));
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(framed, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    double perimeter = 0;
    for (const auto& contour : contours)
        perimeter = std::max(perimeter, cv::arcLength(contour, true));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double circularity =
        perimeter > 0 ? 4 * std::numbers::pi * area / (perimeter * perimeter) : nan;
    const double aspectRatio = minorAxis > 0 ? majorAxis / minorAxis : nan;
    return {perimeter, circularity, aspectRatio, shapeClass(aspectRatio)};
}

}  // namespace quendra
