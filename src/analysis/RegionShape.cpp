#include "analysis/RegionShape.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "analysis/Calipers.h"

namespace quendra {

const char* shapeClass(double caliperRatio, const ShapeLimits& limits) {
    if (!std::isfinite(caliperRatio)) return "";
    if (caliperRatio <= limits.round) return "round";
    if (caliperRatio <= limits.oval) return "oval";
    return caliperRatio <= limits.longOval ? "long oval" : "flat";
}

RegionShape shapeOf(const cv::Mat& mask, double area, double majorAxis, double minorAxis,
                    const ShapeLimits& limits) {
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
    const Calipers calipers = calipersOf(mask);
    const double caliperRatio = calipers.feretMin > 0 ? calipers.feretMax / calipers.feretMin : nan;
    return {perimeter,
            circularity,
            aspectRatio,
            calipers.feretMax,
            calipers.feretMin,
            std::sqrt(4 * area / std::numbers::pi),
            calipers.hullArea > 0 ? area / calipers.hullArea : nan,
            shapeClass(caliperRatio, limits)};
}

}  // namespace quendra
