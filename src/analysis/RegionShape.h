#pragma once

// Shape measures of a region beyond its equivalent ellipse, as studies of root-canal cross
// sections report them.
//
//  perimeter    length of the region's outer contour in pixels: the 8-connected chain through
//               the centres of its boundary pixels, straight steps 1 and diagonal steps √2, as
//               OpenCV's findContours and arcLength give it. Holes do not count; a region of
//               one pixel has 0, and a line one pixel thick is walked there and back.
//  circularity  4πA / P², A the pixel count: 1 for an ideal disc, smaller the less round. The
//               contour runs through pixel centres while A counts whole pixels, so a small round
//               region can come out slightly above 1. Undefined (NaN) for P = 0.
//  aspectRatio  major / minor semi-axis of the equivalent ellipse (RegionMeasure.h); NaN for a
//               minor semi-axis of 0.
//  feretMax, feretMin  the longest caliper distance and the narrowest caliper width, pixels,
//               each pixel a unit square (Calipers.h).
//  equivalentDiameter  √(4A/π), pixels: the diameter of the disc of the region's area.
//  solidity     A / area of the convex hull of the pixels' squares: 1 for a filled rectangle,
//               smaller for a region with bays or holes.
//  shape        the cross-section class of endodontic studies from the caliper ratio
//               feretMax / feretMin against the limits (AnalysisSettings.h): "round", "oval",
//               "long oval" or "flat".

#include <opencv2/core.hpp>

#include "analysis/AnalysisSettings.h"

namespace quendra {

struct RegionShape {
    double perimeter;
    double circularity;
    double aspectRatio;
    double feretMax;
    double feretMin;
    double equivalentDiameter;
    double solidity;
    const char* shape;
};

// `mask` is CV_8UC1, non-zero on the region's pixels and zero elsewhere, with the region one
// 4-connected piece of `area` pixels.
RegionShape shapeOf(const cv::Mat& mask, double area, double majorAxis, double minorAxis,
                    const ShapeLimits& limits);

// The class of a caliper ratio (at least 1): "round" up to limits.round, "oval" up to
// limits.oval, "long oval" up to limits.longOval, "flat" above; "" when it is undefined.
const char* shapeClass(double caliperRatio, const ShapeLimits& limits);

}  // namespace quendra
